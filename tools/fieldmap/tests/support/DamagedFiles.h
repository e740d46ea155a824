#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "FieldmapError.h"
#include "TempDirectory.h"

// The reader tests damage the text of a good file and read it back.

// The text with the first occurrence of from replaced by to; the test fails when there is none.
inline std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// Writes text to the file `name` in the directory, reads it with a Reader and returns the message
// of the bad-input error the reader must throw.
template <class Reader>
std::string ReadError(const TempDirectory& directory, const std::string& name,
                      const std::string& text) {
  const std::string path = directory.Path(name);
  std::ofstream(path, std::ios::binary) << text;
  try {
    Reader(path).Read();
  } catch (const FieldmapError& error) {
    EXPECT_EQ(error.Status(), ExitStatus::kBadInput);
    return error.what();
  }
  ADD_FAILURE() << "reading did not fail";
  return "";
}
