#include "common/file_path.h"

std::string path_in(const std::string& directory, const std::string& file_name) {
  return directory + kPathSeparator + file_name;
}

std::string directory_of(const std::string& path) {
  const std::string::size_type last = path.find_last_of(kPathSeparator);
  if (last == std::string::npos) return ".";
  return path.substr(0, last);
}

std::string folder_of(const std::string& path) {
  const std::string::size_type last = path.find_last_of(std::string("/") + kPathSeparator);
  const bool drive = kPathSeparator == '\\' && path.size() >= 2 && path[1] == ':';
  if (last == std::string::npos) return drive ? path.substr(0, 2) : ".";
  if (last == 0 || (drive && last == 2)) return path.substr(0, last + 1);
  return path.substr(0, last);
}

std::string file_name_of(const std::string& path) {
  const std::string::size_type last = path.find_last_of(std::string("/") + kPathSeparator);
  return last == std::string::npos ? path : path.substr(last + 1);
}
