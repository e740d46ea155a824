#include "ProgramRun.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "FieldmapProgram.h"
#include "MeshFileReader.h"

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

ProgramRun ProgramRun::InProcess(const std::vector<std::string>& arguments) {
  std::ostringstream out, err;
  const int status = FieldmapProgram::Run(arguments, out, err);
  return ProgramRun{status, out.str(), err.str()};
}

ProgramRun ProgramRun::Binary(const std::string& arguments) {
  const std::string base =
      (std::filesystem::temp_directory_path() / ("fieldmap-run-" + std::to_string(::getpid())))
          .string();
  const std::string command =
      std::string(FIELDMAP_BINARY) + " " + arguments + " >" + base + ".out 2>" + base + ".err";
  const int raw = std::system(command.c_str());
  ProgramRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(base + ".out"),
                 Slurp(base + ".err")};
  std::filesystem::remove(base + ".out");
  std::filesystem::remove(base + ".err");
  return run;
}

RawMesh ProgramRun::Exported(const std::string& database) {
  const ProgramRun run = InProcess({"export", database, "--vtu", database + "-exported"});
  if (run.status != 0) throw std::runtime_error("export failed: " + run.err);
  return MeshFileReader::Read(database + "-exported.vtu");
}
