-- Neovim's own language client against 'scenario-tool lsp': the language the author reads.
-- Neovim 0.7 sends no locale in initialize (the report says what it sent), so the server
-- speaks the language of the environment it inherits from the editor. Hovers the first curve's keyword and writes
-- "ok ..." or "FAIL ..." into LSP_REPORT when the hover holds LSP_EXPECT, then "done".
-- Every wait polls with a deadline.
local tool, dir, report = os.getenv('LSP_TOOL'), os.getenv('LSP_DIR'), os.getenv('LSP_REPORT')
local expect = os.getenv('LSP_EXPECT')
local lines = {}
local function step(ok, what)
  table.insert(lines, (ok and 'ok ' or 'FAIL ') .. what)
  return ok
end

local run, fault = pcall(function()
  vim.cmd('edit ' .. vim.fn.fnameescape(dir .. '/Viterbo_Attigliano_linea.txt'))
  local buf = vim.api.nvim_get_current_buf()
  local uri = vim.uri_from_bufnr(buf)
  local sent
  local id = vim.lsp.start_client({
    name = 'scenario-tool', cmd = { tool, 'lsp' }, root_dir = dir,
    before_init = function(params) sent = params.locale end,
  })
  vim.lsp.buf_attach_client(buf, id)
  local client = vim.lsp.get_client_by_id(id)
  if not step(vim.wait(20000, function()
    return client.server_capabilities ~= nil and client.server_capabilities.hoverProvider
  end, 20), 'the server is initialized') then return end
  step(true, 'the locale the editor sends: ' .. tostring(sent))
  local row
  for i, text in ipairs(vim.api.nvim_buf_get_lines(buf, 0, -1, false)) do
    if text:find('^curva') then row = i - 1 break end
  end
  local hover = client.request_sync('textDocument/hover',
    { textDocument = { uri = uri }, position = { line = row, character = 2 } }, 10000, buf)
  local shown = hover and hover.result and hover.result.contents.value or ''
  step(shown:find(expect, 1, true) ~= nil, 'the hover speaks the language: ' .. shown:gsub('\n', ' '))
  vim.lsp.stop_client(id)
  step(vim.wait(20000, function() return client.is_stopped() end, 20), 'the server stops')
end)
if not run then step(false, 'the script failed: ' .. tostring(fault)) end
table.insert(lines, 'done')
local f = io.open(report, 'w')
f:write(table.concat(lines, '\n') .. '\n')
f:close()
vim.cmd('qall!')
