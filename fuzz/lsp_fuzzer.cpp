// libFuzzer harness for the language server's handling of messages: the input is the byte
// stream an editor sends (Content-Length headers and JSON bodies), read with the server's
// MessageReader, queued as the server's reader queues them and handed to the server in batches
// (a body of even length ends one), with the clock moving on between them so that the checks of
// the documents run. Every method is reached by the seed corpus (fuzz/corpus/lsp/) and the
// dictionary (lsp.dict): documents opened, changed by whole texts and ranges, closed, and asked
// for hovers, completions, definitions, quick fixes, outlines and folds at any position.
// Besides no crash, no hang and no sanitizer report: everything the server sends is JSON-RPC,
// each answer names a request's id (or none), and memory never runs out.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "fuzz/require.h"
#include "tools/lsp/lsp_server.h"

using nlohmann::json;

namespace {

void check_sent(const std::string& body) {
  const json message = json::parse(body, nullptr, false);
  REQUIRE(message.is_object());
  REQUIRE(message.value("jsonrpc", json()) == "2.0");
  if (message.contains("method")) return;  // a notification: diagnostics, a message shown
  const json& id = message.at("id");
  REQUIRE(id.is_null() || id.is_string() || id.is_number_integer());
  REQUIRE(message.contains("result") != message.contains("error"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string stream(reinterpret_cast<const char*>(data), size);
  size_t at = 0;
  // The stream arrives in pieces of up to 4 KiB, as from a pipe.
  MessageReader reader([&](char* bytes, size_t wanted) {
    const size_t n = std::min({wanted, stream.size() - at, size_t(4096)});
    std::copy(stream.data() + at, stream.data() + at + n, bytes);
    at += n;
    return n;
  });
  LspServer server(check_sent, std::chrono::milliseconds(150));
  auto now = LspServer::Clock::time_point() + std::chrono::hours(1);
  MessageQueue queue;
  for (bool more = true; more && !server.exited();) {
    std::string body;
    const MessageReader::Result result = reader.next(&body);
    if (result == MessageReader::Result::kTooLong) server.message_too_long();
    if (result == MessageReader::Result::kMessage) queue.push(parsed_message(body));
    more = result == MessageReader::Result::kMessage || result == MessageReader::Result::kTooLong;
    if (more && body.size() % 2 == 1) continue;
    server.receive(queue.take(), now);
    now += std::chrono::milliseconds(100);
    server.check_due(now);
  }
  REQUIRE(server.exit_status() != 5);
  return 0;
}
