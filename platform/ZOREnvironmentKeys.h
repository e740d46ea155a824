#pragma once

// The environment variables the library reads, named once for the library and its tools.
namespace zor_environment {

// Search tolerances that replace the library's own (0.3 and 0.5) unless a host sets others.
constexpr const char* kBoundaryTolerance = "ZORMTK_BOUNDARY_TOLERANCE";
constexpr const char* kNormalTolerance = "ZORMTK_NORMAL_TOLERANCE";
// Threads of the searches and transfers when a host asks for none in particular.
constexpr const char* kThreads = "ZORMTK_THREADS";

}  // namespace zor_environment
