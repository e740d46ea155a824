#include "platform/impl/ZOROpenDatabaseFiles.h"

#include <sys/stat.h>

bool ZOROpenDatabaseFiles::KeyOf(const std::string& path, Key& key) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  key = Key(info.st_dev, info.st_ino);
  return true;
}

void ZOROpenDatabaseFiles::Add(const Key& key) {
  const std::lock_guard<std::mutex> hold(Lock());
  Keys().insert(key);
}

void ZOROpenDatabaseFiles::Remove(const Key& key) {
  const std::lock_guard<std::mutex> hold(Lock());
  const auto found = Keys().find(key);
  if (found != Keys().end()) Keys().erase(found);
}

bool ZOROpenDatabaseFiles::Holds(const Key& key) {
  const std::lock_guard<std::mutex> hold(Lock());
  return Keys().count(key) > 0;
}

std::mutex& ZOROpenDatabaseFiles::Lock() {
  static std::mutex lock;
  return lock;
}

std::multiset<ZOROpenDatabaseFiles::Key>& ZOROpenDatabaseFiles::Keys() {
  static std::multiset<Key> keys;
  return keys;
}
