-- The README's Neovim set-up, run as an author's init.lua runs it: a source, all ASCII as the
-- guide writes it, opens as Windows-1252 and is written so after an accented letter is typed;
-- a source holding one opens with it; the language server attaches. Each step writes "ok ..." or
-- "FAIL ..." into LSP_REPORT, then "done". Every wait polls with a deadline.
local readme, dir, report = os.getenv('LSP_README'), os.getenv('LSP_DIR'), os.getenv('LSP_REPORT')
local lines = {}
local function step(ok, what)
  table.insert(lines, (ok and 'ok ' or 'FAIL ') .. what)
  return ok
end
local function bytes(path)
  local f = io.open(path, 'rb')
  local text = f:read('*a')
  f:close()
  return text
end
local function write(path, text)
  local f = io.open(path, 'wb')
  f:write(text)
  f:close()
end

local run, fault = pcall(function()
  -- The set-up: the indented block after "from `init.lua`:".
  local text = bytes(readme)
  local at = text:find('from `init.lua`:', 1, true)
  if not step(at ~= nil, 'the README has the set-up') then return end
  local block, started = {}, false
  for line in (text:sub(at) .. '\n'):gmatch('([^\n]*)\n') do
    if line:find('^    ') then
      started = true
      table.insert(block, line:sub(5))
    elseif started and line ~= '' then
      break
    end
  end
  local setup, why = loadstring(table.concat(block, '\n'))
  if not step(setup ~= nil, 'the set-up is Lua' .. (why and ': ' .. why or '')) then return end
  setup()
  local others = vim.o.fileencodings

  local ascii = dir .. '/Prova_linea.txt'
  write(ascii, '[generale]\r\nlunghezza percorso, 10000\r\n[curve]\r\n[fine]\r\n')
  vim.cmd('edit ' .. vim.fn.fnameescape(ascii))
  step(vim.bo.fileencoding == 'cp1252', 'an all-ASCII source opens as cp1252: ' .. vim.bo.fileencoding)
  step(vim.bo.fileformat == 'dos', 'with its CR LF')
  step(vim.o.fileencodings == others, 'other files are read as before: ' .. vim.o.fileencodings)
  step(vim.wait(20000, function() return #vim.lsp.buf_get_clients(0) > 0 end, 20),
       'the language server attaches')
  vim.api.nvim_buf_set_lines(0, 3, 3, false, { 'cartello_indicatore, 500, CIVITÀ' })
  vim.cmd('write')
  local written = bytes(ascii)
  step(written:find('CIVIT\192\r\n', 1, true) ~= nil and written:find('\195\128', 1, true) == nil,
       'an À typed is written as the byte 0xC0')

  local accented = dir .. '/Civita_linea.txt'
  write(accented, '[generale]\r\nlunghezza percorso, 10000\r\n[curve]\r\ncartello_indicatore, 500, CIVIT\192\r\n[fine]\r\n')
  vim.cmd('edit ' .. vim.fn.fnameescape(accented))
  step(vim.api.nvim_buf_get_lines(0, 3, 4, false)[1] == 'cartello_indicatore, 500, CIVITÀ',
       'a source with the byte 0xC0 shows À')

  local clients = vim.lsp.get_active_clients()
  for _, client in ipairs(clients) do client.stop() end
  step(vim.wait(20000, function()
    for _, client in ipairs(clients) do
      if not client.is_stopped() then return false end
    end
    return true
  end, 20), 'the servers stop')
end)
if not run then step(false, 'the script failed: ' .. tostring(fault)) end
table.insert(lines, 'done')
local f = io.open(report, 'w')
f:write(table.concat(lines, '\n') .. '\n')
f:close()
vim.cmd('qall!')
