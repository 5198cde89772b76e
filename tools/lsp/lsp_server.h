// 'scenario-tool lsp': a language server for the two sources of a scenario, for any editor with a
// Language Server Protocol client. Messages are JSON-RPC with Content-Length headers over
// standard input and output. A document is a source by its name (<line>_linea.txt,
// <line>_<train>-.txt); its scenario is the pair beside it in its folder, the other source taken
// from the editor when open there, else from the disk. Both are checked in memory with the one
// analysis that 'check' runs (tools/analysis), and the diagnostics published for both documents.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tools/analysis/row_index.h"
#include "tools/lsp/lsp_text.h"

// A message's body is at most this long; a longer one is read past and answered with an error.
constexpr size_t kMaxMessageBytes = size_t(64) << 20;

// Reads messages from a byte stream: the headers up to an empty line, then Content-Length bytes.
class MessageReader {
 public:
  enum class Result { kMessage, kEnd, kTooLong, kBadHeader };
  // `read` fills up to `size` bytes and returns how many it did; 0 at the end of the stream.
  explicit MessageReader(std::function<size_t(char*, size_t)> read) : read_(std::move(read)) {}
  Result next(std::string* body);

 private:
  bool fill();
  std::function<size_t(char*, size_t)> read_;
  std::string buffer_;
  size_t at_ = 0;
};

// The body framed for the stream.
std::string framed(const std::string& body);

class LspServer {
 public:
  using Clock = std::chrono::steady_clock;
  // `send` takes each message body the server writes. A changed document is checked once no
  // change has come for `debounce`.
  LspServer(std::function<void(const std::string&)> send, std::chrono::milliseconds debounce);
  ~LspServer();

  // Handles messages that arrived together, in order; a request cancelled by a later message of
  // the same batch is answered as cancelled.
  void receive(const std::vector<std::string>& bodies, Clock::time_point now);
  // A framing fault on the stream: a message over the limit, answered with an error.
  void message_too_long();
  // Checks each scenario whose wait has passed by `now`; returns when the next is due.
  std::optional<Clock::time_point> check_due(Clock::time_point now);

  bool exited() const { return exited_; }
  // 0 after shutdown then exit; 1 after an exit without a shutdown.
  int exit_status() const { return shut_down_ ? 0 : 1; }

  struct Document;
  struct Scenario;

 private:
  void handle(const nlohmann::json& message, const std::set<std::string>& cancelled,
              Clock::time_point now);
  nlohmann::json request(const std::string& method, const nlohmann::json& params);
  void notification(const std::string& method, const nlohmann::json& params, Clock::time_point now);
  void respond(const nlohmann::json& id, const nlohmann::json& result);
  void respond_error(const nlohmann::json& id, int code, const std::string& message);
  void send(const nlohmann::json& message);

  void opened(const nlohmann::json& params, Clock::time_point now);
  void changed(const nlohmann::json& params, Clock::time_point now);
  void closed(const nlohmann::json& params, Clock::time_point now);
  Scenario* scenario_of(const std::string& path);
  void check(Scenario& scenario);
  void publish(const std::string& path, const nlohmann::json& diagnostics);
  std::string uri_of(const std::string& path) const;
  const Document* document_at(const nlohmann::json& params) const;

  nlohmann::json initialize(const nlohmann::json& params);
  nlohmann::json code_actions(const nlohmann::json& params);
  const RowIndex& rows_of_document(Scenario& scenario, int f, const SourceText& text,
                                   RowIndex* fresh) const;
  nlohmann::json hover(const nlohmann::json& params);
  nlohmann::json completion(const nlohmann::json& params);
  nlohmann::json document_symbols(const nlohmann::json& params);
  nlohmann::json folding_ranges(const nlohmann::json& params);
  nlohmann::json definition(const nlohmann::json& params);

  std::function<void(const std::string&)> send_;
  std::chrono::milliseconds debounce_;
  bool initialized_ = false, shut_down_ = false, exited_ = false;
  PositionUnits units_ = PositionUnits::kUtf16;
  bool build_plan_ = true;  // false: checked as check --no-plan checks
  std::map<std::string, std::unique_ptr<Document>> documents_;  // by path
  std::map<std::string, std::unique_ptr<Scenario>> scenarios_;  // by the two paths
};

// Serves one editor: messages read with `read` (see MessageReader), bodies framed and handed to
// `write`. Returns the exit status when the editor sends exit or the stream ends (1 then, as
// without a shutdown; 1 too when a header cannot be read).
int serve_lsp(std::function<size_t(char*, size_t)> read,
              std::function<void(const std::string&)> write, std::chrono::milliseconds debounce);
