// Checks shared by the tests of the five text writers: a writer run in a fresh directory leaves
// exactly one file with the expected name, size, line count and digest, without the buffer's end
// marker, and a second run over a longer leftover file gives the same bytes.
#pragma once

#include <functional>
#include <string>

#include "common/file_system.h"
#include "common/scenario_identity.h"
#include "common/status.h"
#include "test_support/shipped_files.h"

using DocumentWriter =
    std::function<Status(const std::string&, const ScenarioIdentity&, FileSystem&)>;

// Runs `writer` for the shipped scenario and returns the bytes it wrote, after checking them
// against `expected`.
std::string check_written_document(const DocumentWriter& writer, const ShippedFile& expected);
