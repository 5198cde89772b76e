-- Neovim's own language client against 'scenario-tool lsp' on a copy of the shipped sources:
-- what an author sees. Each step writes "ok ..." or "FAIL ..." into LSP_REPORT, then "done".
-- Every wait polls with a deadline. Written for Neovim 0.7 (start_client, buf_attach_client).
local tool, dir, report = os.getenv('LSP_TOOL'), os.getenv('LSP_DIR'), os.getenv('LSP_REPORT')
local lines = {}
local function step(ok, what)
  table.insert(lines, (ok and 'ok ' or 'FAIL ') .. what)
  return ok
end
local function finish()
  local f = io.open(report, 'w')
  f:write(table.concat(lines, '\n') .. '\n')
  f:close()
  vim.cmd('qall!')
end
local function wait(condition)
  return vim.wait(20000, condition, 20)
end

local run, fault = pcall(function()
  vim.cmd('edit ' .. vim.fn.fnameescape(dir .. '/Viterbo_Attigliano_linea.txt'))
  local buf = vim.api.nvim_get_current_buf()
  local uri = vim.uri_from_bufnr(buf)
  local id = vim.lsp.start_client({ name = 'scenario-tool', cmd = { tool, 'lsp' }, root_dir = dir })
  vim.lsp.buf_attach_client(buf, id)
  local client = vim.lsp.get_client_by_id(id)
  if not step(wait(function()
    return client.server_capabilities ~= nil and client.server_capabilities.hoverProvider
  end), 'the server is initialized') then return end

  -- The shipped sources: check's one warning, in the train source the editor has not opened.
  local train = vim.uri_to_bufnr(vim.uri_from_fname(dir .. '/Viterbo_Attigliano_7545-.txt'))
  step(wait(function() return #vim.diagnostic.get(train) == 1 end),
       'the train source has the shipped warning')
  step(#vim.diagnostic.get(buf) == 0, 'the line source has none')

  -- Break a row: the comma after a keyword becomes a blank.
  local row
  for i, text in ipairs(vim.api.nvim_buf_get_lines(buf, 0, -1, false)) do
    if text:find('^pendenza,  500,') then row = i - 1 break end
  end
  local broken = vim.api.nvim_buf_get_lines(buf, row, row + 1, false)[1]:gsub('^pendenza,', 'pendenza ')
  vim.api.nvim_buf_set_lines(buf, row, row + 1, false, { broken })
  local found
  step(wait(function()
    for _, d in ipairs(vim.diagnostic.get(buf)) do
      if d.lnum == row and d.col == 0 and d.severity == vim.diagnostic.severity.ERROR and
          d.message:find("a comma is missing after 'pendenza'", 1, true) then
        found = d
        return true
      end
    end
    return false
  end), 'the broken row shows its error where it lies, as it was typed')
  if not found then return end

  -- Completion of a keyword, with its row to fill.
  local completion = client.request_sync('textDocument/completion',
    { textDocument = { uri = uri }, position = { line = row, character = 0 } }, 10000, buf)
  local items = completion and completion.result or {}
  local keyword = false
  for _, item in ipairs(items.items or items) do
    keyword = keyword or (item.label == 'pendenza' and item.insertText:find('${1:gradient position}', 1, true) ~= nil)
  end
  step(keyword, 'completion offers the keyword with its row')

  -- The quick fix, applied through the editor.
  local actions = client.request_sync('textDocument/codeAction', {
    textDocument = { uri = uri },
    range = { start = { line = row, character = 0 }, ['end'] = { line = row, character = 1 } },
    context = { diagnostics = { found.user_data and found.user_data.lsp or {} } },
  }, 10000, buf)
  local action = actions and actions.result and actions.result[1]
  if not step(action ~= nil and action.kind == 'quickfix', 'a quick fix is offered') then return end
  vim.lsp.util.apply_workspace_edit(action.edit, client.offset_encoding)
  local mended = vim.api.nvim_buf_get_lines(buf, row, row + 1, false)[1]
  step(mended:find('^pendenza,') ~= nil, 'the fix mends the row: ' .. mended)
  step(wait(function() return #vim.diagnostic.get(buf) == 0 end), 'and its error is gone')
  -- Hover on the mended row's gradient.
  local hover = client.request_sync('textDocument/hover',
    { textDocument = { uri = uri }, position = { line = row, character = #mended - 1 } }, 10000, buf)
  local shown = hover and hover.result and hover.result.contents.value or ''
  step(shown:find('**gradient**', 1, true) ~= nil and shown:find('compiled: at', 1, true) ~= nil,
       'hover names the field and what was compiled: ' .. shown:gsub('\n', ' '))

  -- Signature help while typing a row: a comma typed after a gradient's position names the
  -- gradient next, through the editor's own command (its floating window) and as a request.
  vim.api.nvim_buf_set_lines(buf, row + 1, row + 1, false, { 'pendenza, 700,' })
  local typed = { line = row + 1, character = #'pendenza, 700,' }
  local help = client.request_sync('textDocument/signatureHelp',
    { textDocument = { uri = uri }, position = typed }, 10000, buf)
  local signature = help and help.result and help.result.signatures and help.result.signatures[1]
  local active = signature and signature.parameters[help.result.activeParameter + 1]
  step(active ~= nil and signature.label:sub(active.label[1] + 1, active.label[2]) == 'gradient',
       'signature help names the value typed next: ' .. vim.inspect(signature and signature.label))
  vim.api.nvim_win_set_cursor(0, { typed.line + 1, typed.character })
  vim.lsp.buf.signature_help()
  step(wait(function()
    for _, win in ipairs(vim.api.nvim_list_wins()) do
      if vim.api.nvim_win_get_config(win).relative ~= '' then
        local shown = table.concat(vim.api.nvim_buf_get_lines(vim.api.nvim_win_get_buf(win), 0, -1, false), '\n')
        if shown:find('gradient position', 1, true) then return true end
      end
    end
    return false
  end), 'vim.lsp.buf.signature_help shows the row in a floating window')
  vim.api.nvim_buf_set_lines(buf, row + 1, row + 2, false, {})

  -- Inlay hints of the whole source: the kilometre beside a position, a curve's radius.
  local hints = client.request_sync('textDocument/inlayHint', {
    textDocument = { uri = uri },
    range = { start = { line = 0, character = 0 }, ['end'] = { line = vim.api.nvim_buf_line_count(buf), character = 0 } },
  }, 10000, buf)
  local kilometre, radius = false, false
  for _, hint in ipairs(hints and hints.result or {}) do
    kilometre = kilometre or hint.label == 'km 38+650'
    radius = radius or hint.label == 'radius 1000 m to the right'
  end
  step(kilometre and radius, 'inlay hints give the kilometre at 500 m and the first curve\'s radius')

  -- Format document: the rows laid out in columns, as 'scenario-tool format' writes them.
  local format = vim.lsp.buf.format or function(options)
    vim.lsp.buf.formatting_sync(nil, options.timeout_ms)
  end
  format({ timeout_ms = 10000 })
  local curve
  for _, text in ipairs(vim.api.nvim_buf_get_lines(buf, 0, -1, false)) do
    if text:find('^curvad4,') then curve = text break end
  end
  step(curve == 'curvad4,   500, 300', 'format document lays the rows out: ' .. tostring(curve))


  vim.lsp.stop_client(id)
  step(wait(function() return client.is_stopped() end), 'the server stops on shutdown and exit')
end)
if not run then step(false, 'the script failed: ' .. tostring(fault)) end
table.insert(lines, 'done')
finish()
