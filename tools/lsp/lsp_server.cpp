#include "tools/lsp/lsp_server.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <mutex>
#include <new>
#include <thread>
#include <utility>

#include "common/file_io.h"
#include "common/file_path.h"
#include "common/scenario_identity.h"
#include "common/windows_1252.h"
#include "compiler/compiled_records.h"
#include "compiler/field_codec.h"
#include "compiler/source_grammar.h"
#include "tools/analysis/analysis.h"
#include "tools/analysis/diagnostic_rules.h"
#include "tools/analysis/words.h"
#include "tools/commands/exit_status.h"
#include "tools/language/translation.h"
#include "tools/lsp/completion.h"
#include "tools/lsp/inlay_hints.h"
#include "tools/lsp/lsp_formatting.h"
#include "tools/lsp/row_words.h"
#include "tools/lsp/signature_help.h"
#include "tools/render/console.h"

using nlohmann::json;

namespace {

// The protocol's error codes.
constexpr int kParseError = -32700;
constexpr int kInvalidRequest = -32600;
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;
constexpr int kInternalError = -32603;
constexpr int kServerNotInitialized = -32002;
constexpr int kRequestCancelled = -32800;

constexpr char kLineSuffix[] = "_linea.txt";
constexpr char kTrainSuffix[] = "-.txt";

bool ends_with(const std::string& text, const std::string& end) {
  return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool starts_with(const std::string& text, const std::string& start) {
  return text.size() >= start.size() && text.compare(0, start.size(), start) == 0;
}

// A message's text as JSON takes it: malformed UTF-8 is replaced rather than refused.
std::string dumped(const json& message) {
  return message.dump(-1, ' ', false, json::error_handler_t::replace);
}

// Thrown for a request's parameters that are not as the protocol says.
struct InvalidParams : std::runtime_error {
  using std::runtime_error::runtime_error;
};

const json& member(const json& object, const char* name) {
  if (!object.is_object() || !object.contains(name)) {
    throw InvalidParams(tr("missing {1}", {name}));
  }
  return object[name];
}

std::string string_member(const json& object, const char* name) {
  const json& value = member(object, name);
  if (!value.is_string()) throw InvalidParams(tr("{1} is not a string", {name}));
  return value.get<std::string>();
}

size_t count_member(const json& object, const char* name) {
  const json& value = member(object, name);
  if (!value.is_number_unsigned()) throw InvalidParams(tr("{1} is not a count", {name}));
  return value.get<size_t>();
}

TextPosition position_in(const json& object) {
  return {count_member(object, "line"), count_member(object, "character")};
}

// An id as the protocol has them: an integer or a string.
bool valid_id(const json& id) {
  return id.is_string() || id.is_number_integer();
}

// The member `name` of `object`, or null when there is none.
const json* find_member(const json& object, const char* name) {
  if (!object.is_object()) return nullptr;
  const auto found = object.find(name);
  return found != object.end() ? &*found : nullptr;
}

bool is_position(const json* position) {
  return position != nullptr && position->is_object() &&
         position->value("line", json()).is_number_unsigned() &&
         position->value("character", json()).is_number_unsigned();
}

// Whether `message` is a didChange notification (the document's URI in `uri`), and whether it
// sets the document's whole text whatever it was: one of its changes is a whole text, and the
// server takes every one of them (as changed() does, else it would leave the text as it was).
bool is_change(const json& message, std::string* uri, bool* sets_whole_text) {
  const json* method = find_member(message, "method");
  if (method == nullptr || *method != "textDocument/didChange" || message.contains("id"))
    return false;
  const json* params = find_member(message, "params");
  const json* document = params ? find_member(*params, "textDocument") : nullptr;
  const json* address = document ? find_member(*document, "uri") : nullptr;
  if (address == nullptr || !address->is_string()) return false;
  *uri = address->get<std::string>();
  *sets_whole_text = false;
  const json* changes = find_member(*params, "contentChanges");
  if (changes == nullptr || !changes->is_array()) return true;
  bool whole = false;
  for (const json& change : *changes) {
    const json* text = find_member(change, "text");
    if (text == nullptr || !text->is_string()) return true;
    const json* range = find_member(change, "range");
    if (range == nullptr) {
      whole = true;
    } else if (!is_position(find_member(*range, "start")) ||
               !is_position(find_member(*range, "end"))) {
      return true;
    }
  }
  *sets_whole_text = whole;
  return true;
}

// Whether arrays and objects nest in the JSON text `body` at most `limit` deep, counted as JSON
// reads it (a bracket inside a string is a character of it). A text that is not JSON is
// refused by the parser after.
bool nesting_within(const std::string& body, size_t limit) {
  size_t depth = 0;
  bool in_string = false;
  for (size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (in_string) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      if (++depth > limit) return false;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return true;
}

// The language the client's `locale` asks for (a BCP 47 tag, "it-IT"): Italian for an Italian
// one, English for any other; nothing when it sends none, or no string, or an empty one.
std::optional<Language> language_of_client(const json& params) {
  const json* locale = find_member(params, "locale");
  if (locale == nullptr || !locale->is_string()) return std::nullopt;
  const std::string& tag = locale->get_ref<const std::string&>();
  if (tag.empty()) return std::nullopt;
  // The language subtag, before '-' (or '_', as POSIX names write it), in either case.
  std::string subtag = tag.substr(0, std::min(tag.find_first_of("-_.@"), size_t(8)));
  std::transform(subtag.begin(), subtag.end(), subtag.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return language_of_locale(subtag);
}

}  // namespace

// An open document: the editor's URI and version, and its text on both sides.
struct LspServer::Document {
  std::string uri;
  std::string path;
  json version;
  SourceText text;
};

// A diagnostic as published: where it stands, and the check's own, with its fix.
struct Published {
  size_t from = 0, to = 0;  // bytes of its source
  Diagnostic diagnostic;
  json lsp;
};

// The two sources of one scenario, and what their last check found in each.
struct LspServer::Scenario {
  std::string directory;
  ScenarioIdentity identity;
  std::string paths[2];  // the line source, the train source
  std::optional<Clock::time_point> due;
  SourceText texts[2];  // as last checked
  std::vector<Published> published[2];
  std::unique_ptr<Analysis> checked;  // the last analysis of the two
};

MessageReader::Result MessageReader::next(std::string* body) {
  // The headers, up to an empty line; only Content-Length counts.
  std::optional<size_t> length;
  bool bad = false;
  for (;;) {
    size_t end;
    while ((end = buffer_.find("\r\n", at_)) == std::string::npos) {
      // A header line is short: a stream that never ends one is not the protocol.
      if (buffer_.size() - at_ > 4096) return Result::kBadHeader;
      if (!fill()) return buffer_.size() == at_ ? Result::kEnd : Result::kBadHeader;
    }
    const std::string line = buffer_.substr(at_, end - at_);
    at_ = end + 2;
    if (line.empty()) break;
    const size_t colon = line.find(':');
    if (colon == std::string::npos) return Result::kBadHeader;
    std::string name = line.substr(0, colon);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (name != "content-length") continue;
    size_t value = 0, digits = 0;
    for (size_t i = colon + 1; i < line.size(); ++i) {
      if (line[i] == ' ' && digits == 0) continue;
      if (line[i] < '0' || line[i] > '9') return Result::kBadHeader;
      if (value > kMaxMessageBytes) {
        bad = true;  // far over the limit: its digits no longer count
      } else {
        value = value * 10 + size_t(line[i] - '0');
      }
      ++digits;
    }
    if (digits == 0) return Result::kBadHeader;
    length = value;
  }
  if (!length) return Result::kBadHeader;
  if (bad || *length > kMaxMessageBytes) {
    // Read past it a piece at a time, when it is within reach; else the stream is lost.
    if (bad) return Result::kBadHeader;
    size_t left = *length;
    while (left > 0) {
      if (at_ == buffer_.size() && !fill()) return Result::kEnd;
      const size_t take = std::min(left, buffer_.size() - at_);
      at_ += take;
      left -= take;
    }
    return Result::kTooLong;
  }
  while (buffer_.size() - at_ < *length) {
    if (!fill()) return Result::kEnd;
  }
  body->assign(buffer_, at_, *length);
  at_ += *length;
  return Result::kMessage;
}

bool MessageReader::fill() {
  if (at_ > 0) {
    buffer_.erase(0, at_);
    at_ = 0;
  }
  char piece[65536];
  const size_t got = read_(piece, sizeof piece);
  if (got == 0) return false;
  buffer_.append(piece, got);
  return true;
}

std::string framed(const std::string& body) {
  return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

IncomingMessage parsed_message(const std::string& body) {
  IncomingMessage message;
  message.bytes = body.size();
  // The nesting first: the parser itself keeps its own stack, but what is done with its values
  // after recurses.
  if (!nesting_within(body, kMaxJsonNesting)) {
    message.error = kParseError;
    message.why = tr_mark("arrays and objects nested deeper than {1} levels: not read");
    return message;
  }
  message.json = json::parse(body, nullptr, false);
  if (message.json.is_discarded()) {
    message.error = kParseError;
    message.why = tr_mark("not JSON");
  }
  return message;
}

void MessageQueue::push(IncomingMessage message) {
  std::string uri;
  bool whole = false;
  if (is_change(message.json, &uri, &whole)) {
    std::vector<size_t>& earlier = changes_[uri];
    if (whole) {
      for (const size_t index : earlier) {
        IncomingMessage& dropped = messages_[index - first_];
        bytes_ -= dropped.bytes;
        --count_;
        dropped = IncomingMessage();  // no JSON and no error: taken by no one
      }
      earlier.clear();
    }
    earlier.push_back(first_ + messages_.size());
  }
  bytes_ += message.bytes;
  ++count_;
  messages_.push_back(std::move(message));
}

std::vector<IncomingMessage> MessageQueue::take() {
  std::vector<IncomingMessage> taken;
  taken.reserve(count_);
  for (IncomingMessage& message : messages_) {
    if (message.error != 0 || !message.json.is_discarded()) taken.push_back(std::move(message));
  }
  first_ += messages_.size();
  messages_.clear();
  changes_.clear();
  count_ = bytes_ = 0;
  return taken;
}

LspServer::LspServer(std::function<void(const std::string&)> send,
                     std::chrono::milliseconds debounce)
    : send_(std::move(send)), debounce_(debounce) {}

LspServer::~LspServer() = default;

void LspServer::send(const json& message) {
  send_(dumped(message));
}

void LspServer::respond(const json& id, const json& result) {
  send({{"jsonrpc", "2.0"}, {"id", id}, {"result", result}});
}

void LspServer::respond_error(const json& id, int code, const std::string& message) {
  send({{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
}

void LspServer::message_too_long() {
  respond_error(
      nullptr, kInvalidRequest,
      tr("message longer than {1} MiB: passed over", {std::to_string(kMaxMessageBytes >> 20)}));
}

int LspServer::exit_status() const {
  if (out_of_memory_) return kExitOutOfMemory;
  return shut_down_ ? kExitClean : 1;
}

void LspServer::receive(const std::vector<std::string>& bodies, Clock::time_point now) {
  std::vector<IncomingMessage> messages;
  try {
    for (const std::string& body : bodies) messages.push_back(parsed_message(body));
  } catch (const std::bad_alloc&) {
    out_of_memory(messages);
    return;
  }
  receive(std::move(messages), now);
}

void LspServer::receive(std::vector<IncomingMessage> messages, Clock::time_point now) {
  size_t at = 0;
  try {
    std::set<std::string> cancelled;
    for (const IncomingMessage& m : messages) {
      const json* params = find_member(m.json, "params");
      const json* id = params ? find_member(*params, "id") : nullptr;
      const json* method = find_member(m.json, "method");
      if (method != nullptr && *method == "$/cancelRequest" && id != nullptr && valid_id(*id)) {
        cancelled.insert(id->dump());
      }
    }
    for (; at < messages.size() && !exited_; ++at) {
      if (messages[at].error != 0) {
        respond_error(nullptr, messages[at].error,
                      tr(messages[at].why.c_str(), {std::to_string(kMaxJsonNesting)}));
      } else {
        handle(messages[at].json, cancelled, now);
      }
    }
  } catch (const std::bad_alloc&) {
    // The message being handled and those after it are pending.
    messages.erase(messages.begin(), messages.begin() + long(at));
    out_of_memory(messages);
  }
}

void LspServer::out_of_memory(const std::vector<IncomingMessage>& pending) {
  exited_ = true;
  // What the documents and their checks held goes first, so that the messages can be made.
  scenarios_.clear();
  documents_.clear();
  const bool told = out_of_memory_;
  out_of_memory_ = true;
  try {
    if (!told) {
      send({{"jsonrpc", "2.0"},
            {"method", "window/showMessage"},
            {"params",
             {{"type", 1},
              {"message", tr("scenario-tool ran out of memory and stopped: its diagnostics are "
                             "no longer kept up; restart the language server")}}}});
    }
    for (const IncomingMessage& m : pending) {
      const json* id = find_member(m.json, "id");
      if (id != nullptr && valid_id(*id) && m.json.contains("method")) {
        respond_error(*id, kInternalError, tr("out of memory: the server stopped"));
      }
    }
  } catch (const std::bad_alloc&) {
    // Nothing more can be said.
  }
}

void LspServer::handle(const json& message, const std::set<std::string>& cancelled,
                       Clock::time_point now) {
  const bool has_id = message.is_object() && message.contains("id") &&
                      (message["id"].is_string() || message["id"].is_number_integer());
  const json id = has_id ? message["id"] : json(nullptr);
  if (!message.is_object() || !message.contains("method") || !message["method"].is_string()) {
    // A response to a request of ours (none is made) is passed over; anything else is wrong.
    if (message.is_object() && has_id && (message.contains("result") || message.contains("error")))
      return;
    respond_error(id, kInvalidRequest, tr("not a request or a notification"));
    return;
  }
  const std::string method = message["method"];
  const json params = message.contains("params") ? message["params"] : json::object();
  if (!has_id) {
    if (message.contains("id")) {
      respond_error(nullptr, kInvalidRequest, tr("an id is a number or a string"));
      return;
    }
    // A notification: never answered. Before initialize and after shutdown only exit counts.
    if (method == "exit") {
      exited_ = true;
      return;
    }
    if (!initialized_ || shut_down_) return;
    try {
      notification(method, params, now);
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception&) {
      // A notification that cannot be understood is passed over: there is nothing to answer.
    }
    return;
  }
  if (cancelled.count(id.dump())) {
    respond_error(id, kRequestCancelled, tr("cancelled"));
    return;
  }
  if (!initialized_ && method != "initialize") {
    respond_error(id, kServerNotInitialized, tr("initialize first"));
    return;
  }
  if (shut_down_) {
    respond_error(id, kInvalidRequest, tr("shut down: only exit is taken now"));
    return;
  }
  try {
    const json result = request(method, params);
    if (result.is_discarded()) {
      respond_error(id, kMethodNotFound, tr("no method {1}", {method}));
    } else {
      respond(id, result);
    }
  } catch (const InvalidParams& e) {
    respond_error(id, kInvalidParams, e.what());
  } catch (const json::exception& e) {
    respond_error(id, kInvalidParams, e.what());
  } catch (const std::bad_alloc&) {
    throw;  // the server stops: see out_of_memory
  } catch (const std::exception& e) {
    respond_error(id, kInternalError, e.what());
  }
}

json LspServer::request(const std::string& method, const json& params) {
  if (method == "initialize") {
    if (initialized_) throw InvalidParams(tr("initialize was already sent"));
    return initialize(params);
  }
  if (method == "shutdown") {
    shut_down_ = true;
    return nullptr;
  }
  if (method == "textDocument/codeAction") return code_actions(params);
  if (method == "textDocument/hover") return hover(params);
  if (method == "textDocument/completion" || method == "textDocument/signatureHelp") {
    const bool signature = method == "textDocument/signatureHelp";
    return on_document(
        params, signature ? json(nullptr) : json::array(), [&](const FeatureDocument& d) {
          const size_t at = d.text.byte_at(position_in(member(params, "position")), units_);
          return signature ? signature_help(d, at) : completion_items(d, at);
        });
  }
  if (method == "textDocument/inlayHint") {
    return on_document(params, json::array(), [&](const FeatureDocument& d) {
      const json& range = member(params, "range");
      return inlay_hints(d, d.text.byte_at(position_in(member(range, "start")), units_),
                         d.text.byte_at(position_in(member(range, "end")), units_), inlay_hints_);
    });
  }
  if (method == "textDocument/documentSymbol") return document_symbols(params);
  if (method == "textDocument/foldingRange") return folding_ranges(params);
  if (method == "textDocument/definition") return definition(params);
  if (method == "textDocument/formatting") {
    const Document* document = document_at(params);
    Scenario* scenario = document == nullptr ? nullptr : scenario_of(document->path);
    if (scenario == nullptr) return json::array();
    return formatting_edits(scenario->identity, scenario->paths, document->path, units_,
                            [this](const std::string& path) -> const SourceText* {
                              const auto open = documents_.find(path);
                              return open == documents_.end() ? nullptr : &open->second->text;
                            });
  }
  return json::value_t::discarded;
}

void LspServer::notification(const std::string& method, const json& params, Clock::time_point now) {
  // A document just opened is checked at once, before any message after it.
  if (method == "textDocument/didOpen") {
    opened(params, now);
    check_due(now);
  }
  if (method == "textDocument/didChange") changed(params, now);
  if (method == "textDocument/didClose") closed(params, now);
  if (method == "workspace/didChangeConfiguration") {
    inlay_hints_.take(params.value("settings", json()));
    if (inlay_refresh_) {
      send({{"jsonrpc", "2.0"},
            {"id", "inlayHint/refresh"},
            {"method", "workspace/inlayHint/refresh"}});
    }
  }
  // Every other notification (initialized, $/cancelRequest, $/setTrace, didSave, ...) asks for
  // nothing: a saved source is the text the editor already sent.
}

json LspServer::initialize(const json& params) {
  // The language of every text from here on: the editor's locale ("it", "it-IT", "en-US"), unless
  // --lang chose it; without one, the language of the environment stays.
  if (!language_chosen()) {
    if (const std::optional<Language> language = language_of_client(params))
      set_language(*language);
  }
  // UTF-16 units are the protocol's default; UTF-8 bytes when the editor offers them.
  units_ = PositionUnits::kUtf16;
  std::string encoding = "utf-16";
  if (params.is_object() && params.contains("capabilities")) {
    const json& general = params["capabilities"].value("general", json::object());
    const json offered =
        general.is_object() ? general.value("positionEncodings", json::array()) : json::array();
    if (offered.is_array() &&
        std::find(offered.begin(), offered.end(), json("utf-8")) != offered.end()) {
      units_ = PositionUnits::kUtf8;
      encoding = "utf-8";
    }
  }
  // The same option as check's --no-plan: {"noPlan": true} in the initialization options.
  build_plan_ = true;
  if (params.is_object() && params.contains("initializationOptions") &&
      params["initializationOptions"].is_object()) {
    const json& options = params["initializationOptions"];
    if (options.contains("noPlan") && options["noPlan"].is_boolean())
      build_plan_ = !options["noPlan"].get<bool>();
    // Which inlay hints are shown: {"inlayHints": {"kilometres": true, ...}}, as the settings
    // say it later.
    inlay_hints_.take(options);
  }
  // Whether the editor asks for the hints again when told that the settings changed them.
  const json* capabilities = find_member(params, "capabilities");
  const json* workspace = capabilities ? find_member(*capabilities, "workspace") : nullptr;
  const json* hint_capability = workspace ? find_member(*workspace, "inlayHint") : nullptr;
  inlay_refresh_ = hint_capability != nullptr && hint_capability->is_object() &&
                   hint_capability->value("refreshSupport", false);
  initialized_ = true;
  return {{"capabilities",
           {{"positionEncoding", encoding},
            {"textDocumentSync", {{"openClose", true}, {"change", 2}}},
            {"codeActionProvider", {{"codeActionKinds", {"quickfix"}}}},
            {"hoverProvider", true},
            {"completionProvider", {{"triggerCharacters", {"["}}}},
            {"signatureHelpProvider", {{"triggerCharacters", {","}}}},
            {"inlayHintProvider", true},
            {"documentSymbolProvider", true},
            {"foldingRangeProvider", true},
            {"definitionProvider", true},
            {"documentFormattingProvider", true}}},
          {"serverInfo", {{"name", "scenario-tool"}, {"version", kToolVersion}}}};
}

// Documents.

void LspServer::opened(const json& params, Clock::time_point now) {
  const json& item = member(params, "textDocument");
  auto document = std::make_unique<Document>();
  document->uri = string_member(item, "uri");
  document->path = path_from_uri(document->uri);
  if (document->path.empty()) return;  // not a file: nothing to check it with
  document->version = item.value("version", json());
  document->text = SourceText::from_utf8(string_member(item, "text"));
  const std::string path = document->path;
  documents_[path] = std::move(document);
  if (Scenario* scenario = scenario_of(path)) scenario->due = now;
}

void LspServer::changed(const json& params, Clock::time_point now) {
  const json& item = member(params, "textDocument");
  const auto found = documents_.find(path_from_uri(string_member(item, "uri")));
  if (found == documents_.end()) return;
  Document& document = *found->second;
  const json& changes = member(params, "contentChanges");
  if (!changes.is_array()) throw InvalidParams(tr("contentChanges is not a list"));
  // Each edit's range is in the text as the edits before it left it; the text and its lines
  // are made once, after the last.
  EditedText text(document.text.utf8(), units_);
  for (const json& change : changes) {
    const std::string replacement = string_member(change, "text");
    if (!change.contains("range")) {
      text.replace_all(replacement);
      continue;
    }
    const json& range = change["range"];
    text.replace(position_in(member(range, "start")), position_in(member(range, "end")),
                 replacement);
  }
  document.text = SourceText::from_utf8(text.text());
  document.version = item.value("version", json());
  if (Scenario* scenario = scenario_of(document.path)) scenario->due = now + debounce_;
}

void LspServer::closed(const json& params, Clock::time_point now) {
  const std::string path = path_from_uri(string_member(member(params, "textDocument"), "uri"));
  const auto found = documents_.find(path);
  if (found == documents_.end()) return;
  Scenario* scenario = scenario_of(path);
  documents_.erase(found);
  if (scenario == nullptr) return;
  // With its other source still open, the scenario is checked again with this one as the disk
  // holds it; else it is dropped, any check it waited for with it, and its diagnostics cleared.
  if (documents_.count(scenario->paths[0]) || documents_.count(scenario->paths[1])) {
    scenario->due = now;
    return;
  }
  for (const std::string& p : scenario->paths) publish(p, json::array());
  scenarios_.erase(scenario->paths[0] + "\n" + scenario->paths[1]);
}

std::string LspServer::uri_of(const std::string& path) const {
  const auto found = documents_.find(path);
  return found != documents_.end() ? found->second->uri : uri_from_path(path);
}

namespace {

// Whether the file or open document `path` is there.
bool source_there(const std::string& path, const std::set<std::string>& open) {
  return open.count(path) > 0 || is_regular_file(path);
}

// The train sources in `directory` of the line `line`: their train numbers, in order.
std::vector<std::string> trains_beside(const std::string& directory, const std::string& line) {
  std::vector<std::string> trains;
  std::error_code error;
  const std::string start = line + "_";
  for (std::filesystem::directory_iterator entry(std::filesystem::u8path(directory), error), end;
       !error && entry != end; entry.increment(error)) {
    const std::string name = entry->path().filename().u8string();
    if (starts_with(name, start) && ends_with(name, kTrainSuffix) &&
        name.size() > start.size() + std::string(kTrainSuffix).size()) {
      trains.push_back(name.substr(start.size(), name.size() - start.size() - 5));
    }
    if (trains.size() > 1000) break;  // a folder of a thousand trains: the first are enough
  }
  std::sort(trains.begin(), trains.end());
  return trains;
}

}  // namespace

// The scenario of the source at `path`, made when first asked for; none when the name is not a
// source's. A line source's train is one open beside it, else the first on disk; a train source's
// line is the longest name before a '_' whose line source is open or on disk.
LspServer::Scenario* LspServer::scenario_of(const std::string& path) {
  for (const auto& entry : scenarios_) {
    if (entry.second->paths[0] == path || entry.second->paths[1] == path) return entry.second.get();
  }
  const std::string directory = directory_of(path);
  const std::string name = file_name_of(path);
  std::set<std::string> open;
  for (const auto& entry : documents_) open.insert(entry.first);
  ScenarioIdentity identity;
  std::string ambiguity;
  if (ends_with(name, kLineSuffix)) {
    identity.line_name = name.substr(0, name.size() - std::string(kLineSuffix).size());
    for (const std::string& other : open) {
      const std::string start = identity.line_name + "_";
      const std::string other_name = file_name_of(other);
      if (directory_of(other) == directory && starts_with(other_name, start) &&
          ends_with(other_name, kTrainSuffix) && other_name.size() > start.size() + 5) {
        identity.train_number =
            other_name.substr(start.size(), other_name.size() - start.size() - 5);
        break;
      }
    }
    if (identity.train_number.empty()) {
      const std::vector<std::string> trains = trains_beside(directory, identity.line_name);
      identity.train_number = trains.empty() ? kShippedTrainNumber : trains.front();
      if (trains.size() > 1) {
        // TRANSLATORS: {1} is the line source's file name, {2} the number of train sources
        // (2 or more), {3} the train number it is checked with, {4} that train source's name.
        ambiguity =
            tr("{1} has {2} train sources beside it; it is checked with train {3} ({4}): open "
               "another train source to check the line with that one",
               {name, std::to_string(trains.size()), identity.train_number,
                train_source_name(identity)});
      }
    }
  } else if (ends_with(name, kTrainSuffix)) {
    // A train source's name holds its line's name, '_' and its train number, and either may
    // hold '_' too: the line is one whose line source is open or in the folder. When more than
    // one is, the longest is taken and the editor told; when none is, the last '_' splits.
    const std::string stem = name.substr(0, name.size() - 5);
    size_t cut = stem.rfind('_');
    if (cut == std::string::npos || cut == 0) return nullptr;
    std::vector<size_t> lines;
    for (size_t at = cut; at != std::string::npos && at > 0; at = stem.rfind('_', at - 1)) {
      if (at + 1 < stem.size() &&
          source_there(path_in(directory, stem.substr(0, at) + kLineSuffix), open)) {
        lines.push_back(at);
      }
    }
    if (!lines.empty()) cut = lines.front();
    identity.line_name = stem.substr(0, cut);
    identity.train_number = stem.substr(cut + 1);
    if (identity.train_number.empty()) return nullptr;
    if (lines.size() > 1) {
      std::string readings;
      for (size_t i = 0; i < lines.size(); ++i) {
        readings +=
            (i == 0 ? "" : ", ") + tr("line '{1}' with train '{2}'",
                                      {stem.substr(0, lines[i]), stem.substr(lines[i] + 1)});
      }
      // TRANSLATORS: {1} is the train source's file name, {2} its readings ("line 'a' with
      // train 'b_1', line 'a_b' with train '1'").
      ambiguity =
          tr("{1} can be read as more than one scenario ({2}): it is checked as line '{3}' with "
             "train '{4}'; rename the files so that only one reading is left",
             {name, readings, identity.line_name, identity.train_number});
    }
  } else {
    return nullptr;
  }
  auto scenario = std::make_unique<Scenario>();
  scenario->directory = directory;
  scenario->identity = identity;
  scenario->paths[0] = path_in(directory, line_source_name(identity));
  scenario->paths[1] = path_in(directory, train_source_name(identity));
  Scenario* made = scenario.get();
  scenarios_[made->paths[0] + "\n" + made->paths[1]] = std::move(scenario);
  if (!ambiguity.empty()) {
    send({{"jsonrpc", "2.0"},
          {"method", "window/showMessage"},
          {"params", {{"type", 2}, {"message", "scenario-tool: " + ambiguity}}}});
  }
  return made;
}

std::optional<LspServer::Clock::time_point> LspServer::check_due(Clock::time_point now) {
  std::optional<Clock::time_point> next;
  for (const auto& entry : scenarios_) {
    Scenario& scenario = *entry.second;
    if (!scenario.due) continue;
    if (*scenario.due <= now) {
      scenario.due.reset();
      // A check that fails leaves the diagnostics as they were, and the editor is told; one that
      // runs out of memory stops the server (see out_of_memory).
      try {
        check(scenario);
      } catch (const std::bad_alloc&) {
        throw;
      } catch (const std::exception& e) {
        send({{"jsonrpc", "2.0"},
              {"method", "window/showMessage"},
              {"params",
               {{"type", 1},
                {"message", tr("scenario-tool could not check {1}: {2}",
                               {file_name_of(scenario.paths[0]), e.what()})}}}});
      }
    } else if (!next || *scenario.due < *next) {
      next = scenario.due;
    }
  }
  return next;
}

namespace {

json range_json(const SourceText& text, size_t from, size_t to, PositionUnits units) {
  const TextPosition start = text.position_of_byte(from, units);
  const TextPosition end = text.position_of_byte(to, units);
  return {{"start", {{"line", start.line}, {"character", start.character}}},
          {"end", {{"line", end.line}, {"character", end.character}}}};
}

// The bytes a diagnostic's line and columns span in its source: its field, or a character.
void diagnostic_span(const Diagnostic& d, const SourceText& text, size_t* from, size_t* to) {
  const size_t line = d.line > 0 ? size_t(d.line - 1) : 0;
  const size_t start = text.line_start(line), end = text.line_end(line);
  *from = std::min(start + (d.column > 0 ? size_t(d.column - 1) : 0), end);
  *to = d.end_column > d.column ? std::min(start + size_t(d.end_column - 1), end)
                                : std::min(*from + 1, end);
}

}  // namespace

void LspServer::check(Scenario& scenario) {
  // Each source as the editor holds it, else as the disk does; one that is neither is missing,
  // as it is to check.
  bool missing[2] = {false, false};
  for (int f = 0; f < 2; ++f) {
    const auto open = documents_.find(scenario.paths[f]);
    if (open != documents_.end()) {
      scenario.texts[f] = open->second->text;
    } else {
      std::string bytes;
      missing[f] = !is_regular_file(scenario.paths[f]);
      if (!missing[f]) read_file(scenario.paths[f], &bytes);
      scenario.texts[f] = SourceText::from_windows_1252(std::move(bytes));
    }
  }
  CompileOptions options =
      in_memory_options(scenario.identity, scenario.texts[0].bytes(), scenario.texts[1].bytes());
  options.directory = scenario.directory;
  options.build_plan = build_plan_;
  options.line_source_missing = missing[0];
  options.train_source_missing = missing[1];
  std::unique_ptr<Analysis> checked =
      analyse(std::move(options), ShownSource(scenario.paths[0], scenario.texts[0].bytes()),
              ShownSource(scenario.paths[1], scenario.texts[1].bytes()));
  json lists[2] = {json::array(), json::array()};
  for (auto& list : scenario.published) list.clear();
  checked->each_diagnostic(kDefaultMaxWarnings, [&](Diagnostic&& d) {
    // A diagnostic of no source line (a compiled file's) stands where its first note points,
    // else at the top of the train source; so does one of a source that is missing.
    int f = d.file == scenario.paths[0] ? 0 : d.file == scenario.paths[1] ? 1 : -1;
    if (f >= 0 && missing[f]) {
      d.message = file_name_of(d.file) + ": " + d.message;
      f = -1;
    }
    if (f < 0) {
      for (const NotePlace& place : d.note_places) {
        if (place.file == scenario.paths[0] || place.file == scenario.paths[1]) {
          f = place.file == scenario.paths[0] ? 0 : 1;
          d.line = place.line;
          d.column = place.column;
          d.end_column = 0;
          break;
        }
      }
    }
    if (f < 0) {
      f = missing[1] ? 0 : 1;
      d.line = 1;
      d.column = 1;
      d.end_column = 0;
      if (!d.place.empty()) d.message = d.place + ": " + d.message;
    }
    const SourceText& text = scenario.texts[f];
    Published p;
    diagnostic_span(d, text, &p.from, &p.to);
    std::string message = d.message;
    json related = json::array();
    for (size_t n = 0; n < d.notes.size(); ++n) {
      const auto place = std::find_if(d.note_places.begin(), d.note_places.end(),
                                      [n](const NotePlace& np) { return np.note == n; });
      const int g = place == d.note_places.end()       ? -1
                    : place->file == scenario.paths[0] ? 0
                    : place->file == scenario.paths[1] ? 1
                                                       : -1;
      if (g < 0) {
        message += "\n" + tr("note: {1}", {d.notes[n]});
        continue;
      }
      const SourceText& at = scenario.texts[g];
      const size_t line_start = at.line_start(size_t(std::max(place->line, 1) - 1));
      const size_t from = std::min(line_start + size_t(std::max(place->column, 1) - 1),
                                   at.line_end(size_t(std::max(place->line, 1) - 1)));
      related.push_back(
          {{"location",
            {{"uri", uri_of(scenario.paths[g])}, {"range", range_json(at, from, from, units_)}}},
           {"message", d.notes[n]}});
    }
    p.lsp = {{"range", range_json(text, p.from, p.to, units_)},
             {"severity", d.level == Diagnostic::Level::kError ? 1 : 2},
             {"source", "scenario-tool"},
             {"message", message}};
    const std::string rule = rule_id(d.code);
    if (!rule.empty()) p.lsp["code"] = rule;
    if (!related.empty()) p.lsp["relatedInformation"] = related;
    if (d.fix) p.lsp["data"] = {{"fix", scenario.published[f].size()}};
    lists[f].push_back(p.lsp);
    p.diagnostic = std::move(d);
    scenario.published[f].push_back(std::move(p));
  });
  scenario.checked = std::move(checked);
  for (int f = 0; f < 2; ++f) publish(scenario.paths[f], lists[f]);
}

void LspServer::publish(const std::string& path, const json& diagnostics) {
  json params = {{"uri", uri_of(path)}, {"diagnostics", diagnostics}};
  const auto open = documents_.find(path);
  if (open != documents_.end() && open->second->version.is_number_integer())
    params["version"] = open->second->version;
  send({{"jsonrpc", "2.0"}, {"method", "textDocument/publishDiagnostics"}, {"params", params}});
}

const LspServer::Document* LspServer::document_at(const json& params) const {
  const std::string path = path_from_uri(string_member(member(params, "textDocument"), "uri"));
  const auto found = documents_.find(path);
  return found == documents_.end() ? nullptr : found->second.get();
}

// Quick fixes: the fix of each diagnostic published for the document that meets the range
// asked about, as an edit of the document.
json LspServer::code_actions(const json& params) {
  json actions = json::array();
  const Document* document = document_at(params);
  if (document == nullptr) return actions;
  Scenario* scenario = scenario_of(document->path);
  if (scenario == nullptr) return actions;
  const int f = scenario->paths[0] == document->path ? 0 : 1;
  const SourceText& text = scenario->texts[f];
  // The edits are made in the text the diagnostics were published for: a document changed since
  // gets its fixes with its next diagnostics.
  if (text.utf8() != document->text.utf8()) return actions;
  const json& range = member(params, "range");
  const size_t from = text.byte_at(position_in(member(range, "start")), units_);
  const size_t to = text.byte_at(position_in(member(range, "end")), units_);
  for (const Published& p : scenario->published[f]) {
    if (!p.diagnostic.fix || p.to < from || p.from > to) continue;
    json edits = json::array();
    for (const FixEdit& edit : p.diagnostic.fix->edits) {
      edits.push_back({{"range", range_json(text, edit.offset, edit.offset + edit.length, units_)},
                       {"newText", utf8_from_windows_1252(edit.replacement)}});
    }
    actions.push_back({{"title", p.diagnostic.fix->description},
                       {"kind", "quickfix"},
                       {"isPreferred", p.diagnostic.fix->sure},
                       {"diagnostics", {p.lsp}},
                       {"edit", {{"changes", {{document->uri, edits}}}}}});
  }
  return actions;
}

namespace {

bool source_is(const SourceRow& row, int f) {
  return row.source == (f == 0 ? ProblemSource::kLineSource : ProblemSource::kTrainSource);
}

// "31900 m (km 29+150)".
std::string place_text(const ScenarioTable& table, int64_t metres) {
  const std::string km = chainage_text(table, metres);
  return std::to_string(metres) + " m" + (km.empty() ? "" : " (" + km + ")");
}

// What the compiler made of a row, in a line of markdown.
std::string compiled_text(const SourceRow& row, const Compilation& compiled) {
  const ScenarioTable& table = compiled.records.table;
  const std::string place = place_text(table, row.position);
  const std::string cell = std::to_string(point_cell(row.position));
  // What the compiler stored when a value written is out of its range, and wraps to another.
  const auto wrapped = [](int stored, int written) {
    return stored != written ? " " + tr("({1} wraps to it)", {std::to_string(written)})
                             : std::string();
  };
  switch (row.kind) {
    case RowKind::kGradient: {
      const int stored = decode_gradient(encode_gradient(row.a));
      // TRANSLATORS: {1} is a position ("31900 m (km 29+150)"), {2} a cell's number.
      return tr("at {1}, cell {2}: gradient {3} per mille", {place, cell, std::to_string(stored)}) +
             wrapped(stored, row.a);
    }
    case RowKind::kCurve: {
      const std::string radius =
          std::to_string(row.b == 0 ? 0 : std::lround(10000.0 / std::abs(double(row.b))));
      const std::initializer_list<std::string> values = {place, std::to_string(row.a), radius,
                                                         std::to_string(row.b)};
      return row.b < 0 ? tr("from {1}, {2} m long, radius {3} m to the left (curvature "
                            "{4}/10000 per metre)",
                            values)
                       : tr("from {1}, {2} m long, radius {3} m to the right (curvature "
                            "{4}/10000 per metre)",
                            values);
    }
    case RowKind::kTunnel:
      return tr("from {1} to {2}, kind {3}",
                {place, place_text(table, row.a), std::to_string(row.b)});
    case RowKind::kSpeedIndicator:
    case RowKind::kSignal:
      return tr("at {1}, cell {2}", {place, std::to_string(row.a)});
    case RowKind::kSignboard:
      // TRANSLATORS: {3} is the number of an entry of the scenario table (the .sim).
      return tr("at {1}, cell {2}, its text in table entry {3}",
                {place, std::to_string(row.a), std::to_string(row.b)});
    case RowKind::kSpeedLimit: {
      const int stored = decode_speed(encode_speed(row.a));
      return tr("at {1}, cell {2}: {3} km/h", {place, cell, std::to_string(stored)}) +
             (stored != row.a ? " " + tr("({1} as written)", {std::to_string(row.a)}) : "");
    }
    case RowKind::kAdhesion: {
      const int stored = decode_adhesion(encode_adhesion(row.a));
      return tr("at {1}, cell {2}: adhesion {3}", {place, cell, std::to_string(stored)}) +
             wrapped(stored, row.a);
    }
    case RowKind::kSlowdown:
      return tr("from {1}, {2} m at {3} km/h",
                {place, std::to_string(row.b), std::to_string(row.a)});
    case RowKind::kRestrictionPoint:
      return tr("at {1}, cell {2}, value {3}",
                {place, std::to_string(row.b), std::to_string(row.a)});
    case RowKind::kStation: {
      std::string text = tr("at {1}, kind {2}, table entry {3}",
                            {place, std::to_string(row.b), std::to_string(row.a)});
      if (row.a >= 0 && row.a < kTableEntries) {
        const TableEntry& entry = table[size_t(row.a)];
        // TRANSLATORS: {1} is the station's name, {2} its time, {3} and {4} cells' numbers.
        text +=
            tr(": '{1}' at {2}, cells {3} to {4}",
               {utf8_from_windows_1252(entry.text), clock_text(entry.time, ClockStyle::kShortHours),
                std::to_string(entry.start), std::to_string(entry.end)});
      }
      return text;
    }
    case RowKind::kChainage:
      return tr("at {1}: chainage value {2}, flag {3}",
                {place, std::to_string(row.a), std::to_string(row.b)});
  }
  return tr("at {1}", {place});
}

}  // namespace

// The rows of document `f` of `scenario` as the compiler's walk reads them: the last analysis's
// when the document is as it was checked, else read now from its text.
const RowIndex& LspServer::rows_of_document(Scenario& scenario, int f, const SourceText& text,
                                            RowIndex* fresh) const {
  if (scenario.checked && scenario.texts[f].utf8() == text.utf8()) return scenario.checked->rows(f);
  *fresh = index_rows(text.bytes(), f == 0, build_plan_);
  return *fresh;
}

// The row under the position: its keyword and values by name, with units and limits, the value
// at the position in bold; then what the last check compiled of it.
json LspServer::hover(const json& params) {
  const Document* document = document_at(params);
  if (document == nullptr) return nullptr;
  Scenario* scenario = scenario_of(document->path);
  if (scenario == nullptr) return nullptr;
  const int f = scenario->paths[0] == document->path ? 0 : 1;
  const SourceText& text = document->text;
  const size_t offset = text.byte_at(position_in(member(params, "position")), units_);
  RowIndex fresh;
  const RowIndex& rows = rows_of_document(*scenario, f, text, &fresh);
  const IndexedRow* at = rows.row_at(offset);
  std::string markdown;
  size_t from = offset, to = offset;
  if (at != nullptr) {
    const RowGrammar& row = *at->grammar;
    const IndexedValue* value = rows.value_at(*at, offset);
    if (value != nullptr) {
      from = value->from;
      to = value->to;
    } else if (offset <= at->keyword_to) {
      from = at->keyword_from;
      to = at->keyword_to;
    }
    markdown +=
        "**" + markdown_escaped(row.keyword) + "**: " + markdown_escaped(tr(row.values)) + "\n\n";
    for (int v = 0; v < row.values_count(); ++v) {
      const IndexedValue* read = rows.value(*at, size_t(v));
      const bool here = read != nullptr && read == value;
      const std::string units = units_of(row.names[v]);
      markdown += std::to_string(v + 1) + ". " + (here ? "**" : "") +
                  markdown_escaped(tr(row.names[v])) + (here ? "**" : "") +
                  (units.empty() ? "" : " (" + markdown_escaped(units) + ")") + "\n";
    }
    // What the value under the position does, and a curve's radius by its keyword's digit.
    const std::string use = value != nullptr ? value_use(row, value->k) : "";
    if (!use.empty())
      markdown += "\n" + markdown_escaped(std::string(tr(row.names[value->k])) + ": " + use) + "\n";
    if (row.id == RowId::kCurve) {
      const std::string field =
          text.bytes().substr(at->keyword_from, at->keyword_to - at->keyword_from);
      if (const auto radius = curve_radius(field)) {
        // TRANSLATORS: {1} is a curve's radius and side ("radius 1000 m to the right").
        markdown += "\n" +
                    tr("{1} (curvature digit {2})",
                       {curve_radius_text(*radius), std::to_string(radius->digit)}) +
                    "\n";
      }
    }
    if (!at->complete) {
      const int count = row.values_count();
      markdown += "\n" +
                  tr_n("the row ends before its {1} values are read",
                       "the row ends before its {1} values are read", uint64_t(count),
                       {std::to_string(count)}) +
                  "\n";
    }
    const bool current = scenario->checked && scenario->texts[f].utf8() == text.utf8();
    if (current) {
      for (const SourceRow& r : scenario->checked->compiled.rows) {
        if (source_is(r, f) && r.offset == at->keyword_from) {
          markdown += "\n" +
                      markdown_escaped(
                          tr("compiled: {1}", {compiled_text(r, scenario->checked->compiled)})) +
                      "\n";
        }
      }
    } else {
      markdown += "\n" +
                  std::string(tr("(changed since the last check: what was compiled shows "
                                 "after it)")) +
                  "\n";
    }
  }
  if (text.lost_characters()) {
    markdown += "\n" +
                std::string(tr("This document holds characters that Windows-1252, the sources' "
                               "code page, cannot hold: the check reads each as '?'.")) +
                "\n";
  }
  if (markdown.empty()) return nullptr;
  return {{"contents", {{"kind", "markdown"}, {"value", markdown}}},
          {"range", range_json(text, from, to, units_)}};
}

// The document's text, its rows and the last check's table, for a feature of its own file.
json LspServer::on_document(const json& params, const json& none,
                            const std::function<json(const FeatureDocument&)>& answer) {
  const Document* document = document_at(params);
  if (document == nullptr) return none;
  Scenario* scenario = scenario_of(document->path);
  if (scenario == nullptr) return none;
  const int f = scenario->paths[0] == document->path ? 0 : 1;
  RowIndex fresh;
  const RowIndex& rows = rows_of_document(*scenario, f, document->text, &fresh);
  const ScenarioTable* table =
      scenario->checked ? &scenario->checked->compiled.records.table : nullptr;
  return answer(FeatureDocument{document->text, rows, f == 0, table, units_});
}

// The stations, tunnels, signals, slowdowns and curves of the document as last checked, in
// order of position, each with its place.
json LspServer::document_symbols(const json& params) {
  json symbols = json::array();
  const Document* document = document_at(params);
  if (document == nullptr) return symbols;
  Scenario* scenario = scenario_of(document->path);
  if (scenario == nullptr || !scenario->checked) return symbols;
  const int f = scenario->paths[0] == document->path ? 0 : 1;
  const SourceText& text = scenario->texts[f];
  const Compilation& compiled = scenario->checked->compiled;
  std::vector<const SourceRow*> rows;
  for (const SourceRow& r : compiled.rows) {
    if (source_is(r, f) &&
        (r.kind == RowKind::kStation || r.kind == RowKind::kTunnel || r.kind == RowKind::kSignal ||
         r.kind == RowKind::kSlowdown || r.kind == RowKind::kCurve)) {
      rows.push_back(&r);
    }
  }
  std::stable_sort(rows.begin(), rows.end(), [](const SourceRow* a, const SourceRow* b) {
    return a->position < b->position;
  });
  for (const SourceRow* r : rows) {
    std::string name;
    int kind = 0;
    switch (r->kind) {
      case RowKind::kStation:
        name = r->a >= 0 && r->a < kTableEntries
                   ? tr("station {1}",
                        {utf8_from_windows_1252(compiled.records.table[size_t(r->a)].text)})
                   : tr("station");
        kind = 3;  // namespace: a place of its own
        break;
      case RowKind::kTunnel:
        name = tr("tunnel to {1} m", {std::to_string(r->a)});
        kind = 7;  // property
        break;
      case RowKind::kSignal:
        name = tr("signal");
        kind = 24;  // event
        break;
      case RowKind::kSlowdown:
        name = tr("slowdown {1} km/h", {std::to_string(r->a)});
        kind = 24;
        break;
      default:
        name = r->b < 0 ? tr("curve to the left") : tr("curve to the right");
        kind = 7;
        break;
    }
    const size_t line = text.position_of_byte(r->offset, PositionUnits::kUtf32).line;
    const json range = range_json(text, text.line_start(line), text.line_end(line), units_);
    symbols.push_back({{"name", name},
                       {"detail", place_text(compiled.records.table, r->position)},
                       {"kind", kind},
                       {"range", range},
                       {"selectionRange", range}});
  }
  return symbols;
}

// Each section, from its heading to the line before the next.
json LspServer::folding_ranges(const json& params) {
  json ranges = json::array();
  const Document* document = document_at(params);
  if (document == nullptr) return ranges;
  const SourceText& text = document->text;
  constexpr size_t kNone = size_t(-1);
  size_t open = kNone;  // the heading of the section being read
  for (size_t line = 0; line <= text.line_count(); ++line) {
    const bool heading = line < text.line_count() && text.line_start(line) < text.bytes().size() &&
                         text.bytes()[text.line_start(line)] == '[';
    if ((heading || line == text.line_count()) && open != kNone) {
      if (line - 1 > open) ranges.push_back({{"startLine", open}, {"endLine", line - 1}});
      open = kNone;
    }
    if (heading) open = line;
  }
  return ranges;
}

// From a diagnostic at the position: the places its notes point at, and the rows that placed
// the objects of the cells it names ("cell 201").
json LspServer::definition(const json& params) {
  json locations = json::array();
  const Document* document = document_at(params);
  if (document == nullptr) return locations;
  Scenario* scenario = scenario_of(document->path);
  if (scenario == nullptr || !scenario->checked) return locations;
  const int f = scenario->paths[0] == document->path ? 0 : 1;
  const SourceText& text = scenario->texts[f];
  if (text.utf8() != document->text.utf8()) return locations;
  const size_t offset = text.byte_at(position_in(member(params, "position")), units_);
  const size_t line = text.position_of_byte(offset, PositionUnits::kUtf32).line;
  const auto location = [&](int g, size_t from) {
    const SourceText& at = scenario->texts[g];
    const size_t l = at.position_of_byte(from, PositionUnits::kUtf32).line;
    return json{{"uri", uri_of(scenario->paths[g])},
                {"range", range_json(at, at.line_start(l), at.line_end(l), units_)}};
  };
  for (const Published& p : scenario->published[f]) {
    if (text.position_of_byte(p.from, PositionUnits::kUtf32).line != line) continue;
    const Diagnostic& d = p.diagnostic;
    for (const NotePlace& place : d.note_places) {
      for (int g = 0; g < 2; ++g) {
        if (place.file != scenario->paths[g] || place.line < 1) continue;
        locations.push_back(location(g, scenario->texts[g].line_start(size_t(place.line - 1))));
      }
    }
    // Each cell the diagnostic names, and the rows whose objects stand in it.
    std::string words = d.place + " " + d.message;
    for (const std::string& note : d.notes) words += " " + note;
    // A cell is named "cell 201" in English and "cella 201" in Italian.
    std::vector<int32_t> cells;
    for (const std::string word : {"cell ", "cella "}) {
      for (size_t at = words.find(word); at != std::string::npos;
           at = words.find(word, at + word.size())) {
        const int32_t cell = std::atoi(words.c_str() + at + word.size());
        if (cell > 0) cells.push_back(cell);
      }
    }
    for (const int32_t cell : cells) {
      for (const SourceRow& r : scenario->checked->compiled.rows) {
        const int32_t row_cell = r.kind == RowKind::kRestrictionPoint ? r.b : r.a;
        const bool holds_cell = r.kind == RowKind::kSignal || r.kind == RowKind::kSignboard ||
                                r.kind == RowKind::kSpeedIndicator ||
                                r.kind == RowKind::kRestrictionPoint;
        if (!holds_cell || row_cell != cell) continue;
        const int g = source_is(r, 0) ? 0 : 1;
        if (g == f && text.position_of_byte(r.offset, PositionUnits::kUtf32).line == line) continue;
        locations.push_back(location(g, r.offset));
      }
    }
  }
  return locations;
}

int serve_lsp(std::function<size_t(char*, size_t)> read,
              std::function<void(const std::string&)> write, std::chrono::milliseconds debounce) {
  // One thread reads the messages as they come, and parses them, so that a check waits for a
  // pause in the typing and never for the editor; this one handles them and checks.
  struct Inbox {
    std::mutex mutex;
    std::condition_variable arrived, taken;
    MessageQueue queue;
    size_t too_long = 0;
    bool ended = false, bad_header = false, out_of_memory = false;
  };
  auto inbox = std::make_shared<Inbox>();
  std::thread reader([inbox, read] {
    try {
      MessageReader messages(read);
      for (;;) {
        std::string body;
        const MessageReader::Result result = messages.next(&body);
        IncomingMessage message;
        if (result == MessageReader::Result::kMessage) {
          message = parsed_message(body);
          std::string().swap(body);
        }
        std::unique_lock<std::mutex> lock(inbox->mutex);
        if (result == MessageReader::Result::kMessage) {
          inbox->queue.push(std::move(message));
        } else if (result == MessageReader::Result::kTooLong) {
          ++inbox->too_long;
        } else {
          inbox->ended = true;
          inbox->bad_header = result == MessageReader::Result::kBadHeader;
        }
        inbox->arrived.notify_one();
        if (inbox->ended) return;
        // So far behind, the server reads no more until it has taken what waits: the editor
        // waits to send.
        inbox->taken.wait(lock, [&inbox] { return inbox->queue.bytes() <= kMaxQueuedBytes; });
      }
    } catch (const std::bad_alloc&) {
      std::lock_guard<std::mutex> lock(inbox->mutex);
      inbox->ended = inbox->out_of_memory = true;
      inbox->arrived.notify_one();
    }
  });
  // The reader may be blocked in a read when the editor says exit: it ends with the process.
  reader.detach();
  LspServer server([&write](const std::string& body) { write(framed(body)); }, debounce);
  // Memory ran out: the editor is told, and each request read and not yet answered is answered.
  const auto stop = [&server, &inbox](const std::vector<IncomingMessage>& pending) {
    server.out_of_memory(pending);
    try {
      std::vector<IncomingMessage> waiting;
      {
        std::lock_guard<std::mutex> lock(inbox->mutex);
        waiting = inbox->queue.take();
      }
      server.out_of_memory(waiting);
    } catch (const std::bad_alloc&) {
      // What still waits is not answered.
    }
    write_output(Stream::kError,
                 tr("scenario-tool lsp: out of memory; stopping") + std::string("\n"));
    return server.exit_status();
  };
  std::optional<LspServer::Clock::time_point> due;
  std::vector<IncomingMessage> batch;
  try {
    for (;;) {
      size_t too_long = 0;
      bool ended = false, bad_header = false, out_of_memory = false;
      {
        std::unique_lock<std::mutex> lock(inbox->mutex);
        const auto ready = [&inbox] {
          return !inbox->queue.empty() || inbox->too_long > 0 || inbox->ended;
        };
        if (due) {
          inbox->arrived.wait_until(lock, *due, ready);
        } else {
          inbox->arrived.wait(lock, ready);
        }
        batch = inbox->queue.take();
        inbox->taken.notify_one();
        std::swap(too_long, inbox->too_long);
        ended = inbox->ended;
        bad_header = inbox->bad_header;
        out_of_memory = inbox->out_of_memory;
      }
      if (out_of_memory) return stop(batch);
      for (; too_long > 0; --too_long) server.message_too_long();
      server.receive(std::move(batch), LspServer::Clock::now());
      batch.clear();
      if (server.exited()) {
        if (server.exit_status() == kExitOutOfMemory) return stop({});
        return server.exit_status();
      }
      if (ended) {
        if (bad_header) {
          write_output(Stream::kError,
                       tr("scenario-tool lsp: a message header could not be read; stopping") +
                           std::string("\n"));
        }
        return 1;
      }
      due = server.check_due(LspServer::Clock::now());
    }
  } catch (const std::bad_alloc&) {
    return stop(batch);
  }
}
