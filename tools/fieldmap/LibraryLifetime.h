#pragma once

// Keeps the mapping library initialized while it exists, so every path out of a command, a
// thrown error included, finalizes it again. Owns the status the life-cycle calls count in.
class LibraryLifetime {
 public:
  LibraryLifetime();
  ~LibraryLifetime();
  LibraryLifetime(const LibraryLifetime&) = delete;
  LibraryLifetime& operator=(const LibraryLifetime&) = delete;

 private:
  int status_ = 0;
};
