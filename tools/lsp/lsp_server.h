// 'scenario-tool lsp': a language server for the two sources of a scenario, for any editor with a
// Language Server Protocol client. Messages are JSON-RPC with Content-Length headers over
// standard input and output. A document is a source by its name (<line>_linea.txt,
// <line>_<train>-.txt); its scenario is the pair beside it in its folder, the other source taken
// from the editor when open there, else from the disk. Both are checked in memory with the one
// analysis that 'check' runs (tools/analysis), and the diagnostics published for both documents.
// Its texts for people are in the language of the editor's locale, sent in initialize, unless
// the command line chose one (--lang); without a locale, in the environment's.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tools/analysis/row_index.h"
#include "tools/lsp/feature_document.h"
#include "tools/lsp/inlay_hints.h"
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

// Arrays and objects nest at most this deep in a message; a deeper one is refused before it is
// parsed, as JSON that cannot be read is. The JSON library copies, prints and compares values
// by recursion, a stack frame or more a level: some 20,000 levels overflow the smallest stack
// the server runs on (1 MiB, a Windows thread's). 256 stay far from that, and far above what
// any editor sends (its settings, the deepest, are some ten levels).
constexpr size_t kMaxJsonNesting = 256;

// A message as read from the stream: its JSON, or, when it cannot be taken, the error that
// answers it.
struct IncomingMessage {
  nlohmann::json json = nlohmann::json::value_t::discarded;
  int error = 0;  // the protocol's code; 0 when it was read
  std::string why;
  size_t bytes = 0;  // of its body
};

// The body's JSON: refused when not JSON or nested past kMaxJsonNesting.
IncomingMessage parsed_message(const std::string& body);

// The messages read and not yet handled, as the thread that reads them hands them to the one
// that handles them. A change that sets a document's whole text makes the changes of that
// document queued before it pointless, and they are dropped: however many pile up while the
// server is busy, each document's text is held once. (A request about the document queued
// between them is then answered against the newer text, as if sent after it.)
class MessageQueue {
 public:
  void push(IncomingMessage message);
  // All that is queued, in order; the queue is then empty.
  std::vector<IncomingMessage> take();
  bool empty() const { return count_ == 0; }
  // The messages queued, and their bodies' bytes.
  size_t size() const { return count_; }
  size_t bytes() const { return bytes_; }

 private:
  std::deque<IncomingMessage> messages_;
  size_t first_ = 0;  // the number of messages taken before messages_[0]
  size_t count_ = 0, bytes_ = 0;
  std::map<std::string, std::vector<size_t>> changes_;  // the queued changes of each document
};

// While this many bytes of messages wait, the reading waits too, so that the editor waits to
// send more.
constexpr size_t kMaxQueuedBytes = 2 * kMaxMessageBytes;

class LspServer {
 public:
  using Clock = std::chrono::steady_clock;
  // `send` takes each message body the server writes. A changed document is checked once no
  // change has come for `debounce`.
  LspServer(std::function<void(const std::string&)> send, std::chrono::milliseconds debounce);
  ~LspServer();

  // Handles messages that arrived together, in order; a request cancelled by a later message of
  // the same batch is answered as cancelled.
  void receive(std::vector<IncomingMessage> messages, Clock::time_point now);
  void receive(const std::vector<std::string>& bodies, Clock::time_point now);
  // A framing fault on the stream: a message over the limit, answered with an error.
  void message_too_long();
  // Checks each scenario whose wait has passed by `now`; returns when the next is due.
  std::optional<Clock::time_point> check_due(Clock::time_point now);

  // Memory ran out: what the documents held is let go, the editor told in a window/showMessage,
  // and each request of `pending` answered with an error (the requests read and not yet
  // answered: the server stops). May come again for more.
  void out_of_memory(const std::vector<IncomingMessage>& pending);

  bool exited() const { return exited_; }
  // 0 after shutdown then exit; 1 after an exit without a shutdown; 5 (kExitOutOfMemory) when
  // memory ran out.
  int exit_status() const;

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
  nlohmann::json on_document(const nlohmann::json& params, const nlohmann::json& none,
                             const std::function<nlohmann::json(const FeatureDocument&)>& answer);
  nlohmann::json document_symbols(const nlohmann::json& params);
  nlohmann::json folding_ranges(const nlohmann::json& params);
  nlohmann::json definition(const nlohmann::json& params);

  std::function<void(const std::string&)> send_;
  std::chrono::milliseconds debounce_;
  bool initialized_ = false, shut_down_ = false, exited_ = false, out_of_memory_ = false;
  PositionUnits units_ = PositionUnits::kUtf16;
  bool build_plan_ = true;  // false: checked as check --no-plan checks
  InlayHintSettings inlay_hints_;
  bool inlay_refresh_ = false;  // the editor takes workspace/inlayHint/refresh
  std::map<std::string, std::unique_ptr<Document>> documents_;  // by path
  std::map<std::string, std::unique_ptr<Scenario>> scenarios_;  // by the two paths
};

// Serves one editor: messages read with `read` (see MessageReader), bodies framed and handed to
// `write`. Returns the exit status when the editor sends exit or the stream ends (1 then, as
// without a shutdown; 1 too when a header cannot be read), or 5 when memory ran out.
int serve_lsp(std::function<size_t(char*, size_t)> read,
              std::function<void(const std::string&)> write, std::chrono::milliseconds debounce);
