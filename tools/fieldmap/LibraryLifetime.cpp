#include "LibraryLifetime.h"

#include "ZORGfmApi.h"

LibraryLifetime::LibraryLifetime() { ZORGfmApi_initialize(status_); }

LibraryLifetime::~LibraryLifetime() { ZORGfmApi_finalize(status_); }
