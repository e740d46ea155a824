#include "writer/impl/ZORDataDictionary.h"

#include <cstring>

// Defined by the assembler from the document file (see cmake/EmbedText.cmake); the document has
// no NUL of its own, so the one appended by the build ends it.
extern "C" const char zor_datadictionary_text[];

const char* ZORDataDictionaryText() { return zor_datadictionary_text; }

std::size_t ZORDataDictionarySize() { return std::strlen(zor_datadictionary_text); }
