#pragma once

#include <cstddef>

// The data dictionary document that every new target database starts from: one US-ASCII text,
// compiled into the library from writer/datadictionary.xml and terminated by a NUL, so that it
// can be handed to the database interface as a C string.
const char* ZORDataDictionaryText();

// Length of the document in bytes, without the terminating NUL.
std::size_t ZORDataDictionarySize();
