#include "common/file_io.h"

#include <algorithm>
#include <utility>

#include "common/file_path.h"
#include "common/people_text.h"
#include "common/piece_writer.h"

namespace {

// How many names a temporary file tries before the failure to create one is reported.
constexpr unsigned kTemporaryAttempts = 100;
static_assert(kTemporaryAttempts <= 100, "kLongestTemporarySuffix counts 2 digits of attempt");

// A new temporary file beside `path`, created by this call: a name already taken by anything
// (another process's temporary, or a link, FIFO or directory put there) is passed over for the
// next. `temporary` is the last name tried.
std::error_code create_temporary(FileSystem& files, const std::string& path, std::string* temporary,
                                 std::unique_ptr<WritableFile>* file) {
  for (unsigned attempt = 0;; ++attempt) {
    *temporary = temporary_path_for(path, attempt);
    const std::error_code error = files.create_new_file(*temporary, file);
    if (error != std::errc::file_exists || attempt + 1 == kTemporaryAttempts) return error;
  }
}

// `message`, marked with tr_mark, with the path for {1} and the system's reason for {2}.
Status failure(const char* message, const std::string& path, const std::error_code& error) {
  return Status::Error(people_text(message, {path, error.message()}));
}

std::error_code io_error() {
  return std::make_error_code(std::errc::io_error);
}

// How a file's bytes are put into its open temporary file: the reason when they cannot be.
using FileFiller = std::function<std::error_code(WritableFile& file)>;

// A temporary file this process created, open for writing: closed and removed again when it
// goes out of scope unless it was renamed over its destination first. A failure, or an
// exception on the way (memory running out while the bytes are produced), leaves no temporary
// file behind.
class OwnTemporary {
 public:
  explicit OwnTemporary(FileSystem& files) : files_(files) {}
  OwnTemporary(const OwnTemporary&) = delete;
  OwnTemporary& operator=(const OwnTemporary&) = delete;
  ~OwnTemporary() {
    // Closed first: Windows deletes no file that is still open.
    file.reset();
    if (path.empty()) return;
    try {
      files_.remove_file(path);
    } catch (...) {
      // Nothing may leave a destructor; a temporary left here goes with the next run's sweep.
    }
  }

  std::string path;  // empty while the file does not exist, and once it has been renamed
  std::unique_ptr<WritableFile> file;

 private:
  FileSystem& files_;
};

// Writes the file to a new temporary one beside `path`, then renames it over `path`. On failure
// the temporary file is removed again.
Status replace_through_temporary(FileSystem& files, const std::string& path,
                                 const FileFiller& fill) {
  OwnTemporary temporary(files);
  std::string name;
  std::error_code error = create_temporary(files, path, &name, &temporary.file);
  // The name that could not be created is the one reported: it is what stands in the way.
  // TRANSLATORS: {1} is a file's path, {2} the system's reason.
  if (error) return failure(tr_mark("cannot create {1}: {2}"), name, error);
  temporary.path = std::move(name);
  error = fill(*temporary.file);
  // A full disk may only show when the file is closed.
  const std::error_code closed = temporary.file->close();
  temporary.file.reset();
  if (!error) error = closed;
  // TRANSLATORS: {1} is a file's path, {2} the system's reason.
  if (error) return failure(tr_mark("cannot write {1}: {2}"), path, error);
  error = files.rename_over(temporary.path, path);
  // TRANSLATORS: {1} is a file's path, {2} the system's reason.
  if (error) return failure(tr_mark("cannot replace {1}: {2}"), path, error);
  temporary.path.clear();
  return Status::Ok();
}

}  // namespace

std::string temporary_path_for(const std::string& path, unsigned attempt) {
  return path + ".scenario-tmp-" + std::to_string(current_process_id()) + "-" +
         std::to_string(attempt);
}

std::vector<std::string> first_temporary_paths(const std::string& directory,
                                               const std::vector<std::string>& names) {
  std::vector<std::string> paths;
  for (const std::string& name : names)
    paths.push_back(temporary_path_for(path_in(directory, name), 0));
  return paths;
}

void remove_leftover_temporaries(const std::string& directory,
                                 const std::vector<std::string>& names, FileSystem& files) {
  const auto is_leftover = [&names](const std::string& entry) {
    for (const std::string& name : names) {
      const std::string prefix = name + ".scenario-tmp";
      if (entry.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
  };
  std::vector<std::string> entries;
  if (files.list_directory(directory, &entries)) return;
  // remove_file deletes a link itself, not what it points to, and leaves directories alone.
  for (const std::string& entry : entries) {
    if (is_leftover(entry)) files.remove_file(path_in(directory, entry));
  }
}

Status replace_file(const std::string& path, const std::string& bytes, FileSystem& files) {
  const FileFiller fill = [&bytes](WritableFile& file) {
    return file.write_at(0, bytes.data(), bytes.size());
  };
  return replace_through_temporary(files, path, fill);
}

Status replace_file_in_placed_pieces(const std::string& path, uint64_t size,
                                     const std::function<bool(PlacedPieceSink& sink)>& produce,
                                     FileSystem& files) {
  const FileFiller fill = [&](WritableFile& file) {
    // A disk too full for the file fails before anything is produced.
    std::error_code error = file.reserve(size);
    if (error) return error;
    BackgroundPieceWriter writer(file, size > kSecondWriterFrom);
    const bool produced = produce(writer);
    writer.finish(&error);
    // A producer only stops early when the writer refused a piece, which sets the error.
    return !produced && !error ? io_error() : error;
  };
  return replace_through_temporary(files, path, fill);
}

Status delete_file(const std::string& path, FileSystem& files) {
  const std::error_code error = files.remove_file(path);
  // TRANSLATORS: {1} is a file's path, {2} the system's reason.
  if (error) return failure(tr_mark("cannot delete {1}: {2}"), path, error);
  return Status::Ok();
}

bool file_exists(const std::string& path, FileSystem& files) {
  bool directory;
  return !files.stat_path(path, &directory);
}

bool name_taken(const std::string& path, FileSystem& files) {
  bool link;
  std::string target;
  return !files.inspect_name(path, &link, &target);
}

bool is_symbolic_link(const std::string& path, std::string* target, FileSystem& files) {
  bool link = false;
  return !files.inspect_name(path, &link, target) && link;
}

bool is_regular_file(const std::string& path, FileSystem& files) {
  bool directory;
  return !files.stat_path(path, &directory) && !directory;
}

Status read_file(const std::string& path, std::string* bytes, FileSystem& files) {
  std::unique_ptr<ReadableFile> file;
  std::error_code error = files.open_for_reading(path, &file);
  if (error) return failure(tr_mark("cannot read {1}: {2}"), path, error);
  const std::string too_large =
      people_text("cannot read {1}: over {2} MiB, too large for a scenario file",
                  {path, std::to_string(kMaxReadBytes >> 20)});
  if (!file->regular()) {
    return Status::Error(people_text("cannot read {1}: not a regular file", {path}));
  }
  if (file->size() > kMaxReadBytes) return Status::Error(too_large);
  bytes->clear();
  bytes->reserve(static_cast<size_t>(file->size()));
  char buffer[65536];
  for (;;) {
    size_t got = 0;
    error = file->read_at(bytes->size(), buffer, sizeof buffer, &got);
    if (error) return failure(tr_mark("cannot read {1}: {2}"), path, error);
    if (got == 0) break;
    // A file that grows while it is read is held to the same bound.
    if (bytes->size() + got > kMaxReadBytes) return Status::Error(too_large);
    bytes->append(buffer, got);
  }
  return Status::Ok();
}

Status read_file_part(const std::string& path, uint64_t offset, size_t size, std::string* bytes,
                      uint64_t* file_size, FileSystem& files) {
  std::unique_ptr<ReadableFile> file;
  std::error_code error = files.open_for_reading(path, &file);
  if (error) return failure(tr_mark("cannot read {1}: {2}"), path, error);
  if (!file->regular()) {
    return Status::Error(people_text("cannot read {1}: not a regular file", {path}));
  }
  *file_size = file->size();
  bytes->assign(offset < *file_size ? std::min<uint64_t>(size, *file_size - offset) : 0, '\0');
  size_t got = 0;
  while (got < bytes->size()) {
    size_t part = 0;
    error = file->read_at(offset + got, &(*bytes)[got],
                          std::min<size_t>(bytes->size() - got, size_t{1} << 20), &part);
    // A file that shrank while it was read ends early.
    if (!error && part == 0) error = io_error();
    if (error) return failure(tr_mark("cannot read {1}: {2}"), path, error);
    got += part;
  }
  return Status::Ok();
}

Status may_write_file(const std::string& path, bool* may, FileSystem& files) {
  const std::error_code error = files.may_write(path, may);
  if (error) return failure(tr_mark("cannot read {1}: {2}"), path, error);
  return Status::Ok();
}

Status make_folder(const std::string& path, FileSystem& files) {
  const std::error_code error = files.make_folder(path);
  // TRANSLATORS: {1} is a folder's path, {2} the system's reason.
  if (error) return failure(tr_mark("cannot make {1}: {2}"), path, error);
  return Status::Ok();
}

Status make_executable(const std::string& path, FileSystem& files) {
  bool directory;
  std::error_code error = files.stat_path(path, &directory);
  if (error) return failure(tr_mark("cannot read {1}: {2}"), path, error);
  error = files.make_executable(path);
  if (error) return failure(tr_mark("cannot write {1}: {2}"), path, error);
  return Status::Ok();
}
