#include "test_support/hostile_names.h"

std::vector<HostileName> hostile_names(const std::string& elsewhere) {
  // 205 bytes of line name with a train of 4 make <line>_<train>_rallentamenti.txt 228 bytes,
  // and with the longest temporary suffix (27) just the 255 a file name takes: one more is over.
  const std::string longest(205, 'a');
  return {
      {"up a folder", {"../X", "7545"}, "\"../X\": '/' separates folders"},
      {"up a folder, Windows", {"..\\X", "7545"}, "\"..\\X\": '\\' separates folders on Windows"},
      {"the folder above", {"..", "7545"}, "'..' is the folder above"},
      {"the folder itself", {"Linea", "."}, "\".\": '.' is the folder itself"},
      {"an absolute path", {elsewhere + "/X", "7545"}, "'/' separates folders"},
      {"a train into a folder", {"Linea", "1/2"}, "'/' separates folders"},
      {"a drive", {"C:\\Temp\\X", "7545"}, "':' names a drive"},
      {"a drive-relative path", {"C:X", "7545"}, "':' names a drive"},
      {"a stream", {"Linea", "7545:x"}, "':' names a drive (C:) or a stream"},
      {"a line end", {"Linea", "7545\n"}, "\"7545\\x0A\": control character \\x0A"},
      {"a delete character", {"Linea\x7F", "7545"}, "control character \\x7F"},
      {"a NUL byte", {std::string("Li\0nea", 6), "7545"}, "control character \\x00", false},
      {"a wildcard", {"Linea*", "7545"}, "'*' is not allowed in a file name on Windows"},
      {"a question mark", {"Linea", "75?45"}, "'?' is not allowed"},
      {"a redirection", {"A<B", "7545"}, "'<' is not allowed"},
      {"a quote", {"A\"B", "7545"}, "'\"' is not allowed"},
      {"a pipe", {"A|B", "7545"}, "'|' is not allowed"},
      {"a trailing dot", {"Linea.", "7545"}, "a trailing '.'"},
      {"a trailing blank", {"Linea ", "7545"}, "a trailing blank"},
      {"a device", {"CON", "7545"}, "'CON' is a Windows device name"},
      {"a device in lower case with an extension",
       {"nul.txt", "7545"},
       "'nul' is a Windows device"},
      {"a device, blanks before the extension", {"Aux .x", "7545"}, "'Aux' is a Windows device"},
      {"a numbered device as train", {"Linea", "Com1"}, "'Com1' is a Windows device"},
      {"a printer port with a superscript digit", {"LPT\xC2\xB9", "7545"}, "is a Windows device"},
      {"an empty line", {"", "7545"}, "\"\": empty"},
      {"an empty train", {"Linea", ""}, "\"\": empty"},
      {"not UTF-8", {"Citt\xE0", "7545"}, "not UTF-8 text"},
      {"a file name over 255 bytes", {longest + "a", "7545"}, "too long"},
  };
}

std::vector<ScenarioIdentity> accepted_names() {
  return {
      {kShippedLineName, kShippedTrainNumber},
      {"Citt\xC3\xA0_Alta", "2301"},
      {"Orte Attigliano", "12 bis"},
      {"Linea.2", "7545"},
      {"CONSOLE", "COM10"},
      {std::string(205, 'a'), "7545"},
  };
}
