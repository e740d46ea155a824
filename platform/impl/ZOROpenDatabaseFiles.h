#pragma once

#include <sys/types.h>

#include <mutex>
#include <set>
#include <string>
#include <utility>

// The database files this process holds open, by device and inode, so that a new database is
// never saved over one of them: the save would replace a file another open database still reads,
// and drop its write-ahead log with it. Counted, as one file may be open more than once.
// Thread-safe.
class ZOROpenDatabaseFiles {
 public:
  using Key = std::pair<dev_t, ino_t>;

  // The key of the file a path names now; false when it names none.
  static bool KeyOf(const std::string& path, Key& key);
  static void Add(const Key& key);
  static void Remove(const Key& key);
  // Whether a database of this process holds the file.
  static bool Holds(const Key& key);

 private:
  static std::mutex& Lock();
  static std::multiset<Key>& Keys();
};
