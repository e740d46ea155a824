#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/impl/ZORFormat.h"
#include "reader/ZORMtkSimReader.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

constexpr char kLineOpening[] = "\n          ";
constexpr int kValuesPerLine = 13;

int CellType(int nodesPerElement) {
  switch (nodesPerElement) {
    case 3:
      return 5;
    case 4:
      return 9;
    case 6:
      return 22;
    case 8:
      return 23;
    default:
      return 0;
  }
}

void Put(std::FILE* file, const std::string& text) { std::fputs(text.c_str(), file); }

// Writes integers as "%i ", thirteen to a line, each line opened by a break and indentation.
class WrappedIntegers {
 public:
  explicit WrappedIntegers(std::FILE* file) : file_(file) {}
  void Write(int value) {
    if (countdown_ < 1) {
      Put(file_, kLineOpening);
      countdown_ = kValuesPerLine - 1;
    } else {
      --countdown_;
    }
    Put(file_, ZORFormat("%i ", value));
  }

 private:
  std::FILE* file_;
  int countdown_ = 0;
};

}  // namespace

void ZORMtkSimReader::VtkOutput(const char* baseName, cow_List<cow_String>& fieldNames,
                                cow_List<int>& skip, const int& incrementNo) const {
  // Reading every skip entry before the file exists means a short list fails without leaving a
  // half-written file behind.
  std::vector<cow_String> written;
  for (int i = 0; i < fieldNames.Size(); ++i)
    if (skip[i] == 0) written.push_back(fieldNames[i]);
  // Without a base name there is no file to open.
  if ((numNodes == 0 && numElements == 0) || baseName == nullptr) return;

  const std::string fileName = std::string(baseName) + ".vtu";
  // The call reports nothing, by contract: a file that cannot be opened is simply not written,
  // and a host that wants to know looks for the file.
  const File file(std::fopen(fileName.c_str(), "w"));
  if (!file) return;
  Put(file.get(), "<?xml version=\"1.0\"?>\n");
  Put(file.get(),
      "<VTKFile type=\"UnstructuredGrid\" version=\"0.1\" byte_order=\"LittleEndian\">\n");
  Put(file.get(), "  <UnstructuredGrid>\n");
  Put(file.get(),
      ZORFormat("    <Piece NumberOfPoints=\"%i\" NumberOfCells=\"%i\">\n", numNodes, numElements));
  WriteVtkPoints(file.get());
  WriteVtkCells(file.get());
  for (const cow_String& name : written) WriteVtkPointData(file.get(), name, incrementNo);
  Put(file.get(), "    </Piece>\n");
  Put(file.get(), "  </UnstructuredGrid>\n");
  Put(file.get(), "</VTKFile>\n");
}

void ZORMtkSimReader::WriteVtkPoints(std::FILE* file) const {
  std::vector<double> coords(static_cast<std::size_t>(numNodes) *
                             static_cast<std::size_t>(numCoordComponents));
  FillCoordinates(static_cast<int>(coords.size()), coords.data());
  Put(file, "      <Points>\n");
  Put(file, "        <DataArray type=\"Float32\" NumberOfComponents=\"3\" Format=\"ascii\">\n");
  for (int i = 0; i < numNodes; ++i) {
    const double* point = coords.data() + static_cast<std::size_t>(i) * numCoordComponents;
    // A plane mesh has no z (a line mesh no y either): its points lie at 0 on the axes it lacks.
    double shown[3] = {0.0, 0.0, 0.0};
    std::copy_n(point, std::min(numCoordComponents, 3), shown);
    Put(file, ZORFormat("          %14.5E %14.5E %14.5E\n", shown[0], shown[1], shown[2]));
  }
  Put(file, "        </DataArray>\n");
  Put(file, "      </Points>\n");
}

void ZORMtkSimReader::WriteVtkCells(std::FILE* file) const {
  cow_List<cow_String> classes;
  GetElementClassNames(classes);
  const std::vector<int> pointOf = NodePositions();
  std::vector<int> cellSizes;
  Put(file, "      <Cells>\n");
  Put(file, "        <DataArray type=\"Int32\" Name=\"connectivity\" Format=\"ascii\">");
  for (const cow_String& name : classes) {
    const int count = GetElementClassCount(name);
    const int* perElement = nodesPerElementByClass.Find(name);
    const int nodesPerElement = perElement ? *perElement : 0;
    std::vector<int> connectivity(static_cast<std::size_t>(count) *
                                  static_cast<std::size_t>(nodesPerElement));
    GetElementClassConnectivity(name, static_cast<int>(connectivity.size()), connectivity.data());
    for (int e = 0; e < count; ++e) {
      Put(file, kLineOpening);
      for (int k = 0; k < nodesPerElement; ++k) {
        const int node = connectivity[static_cast<std::size_t>(e * nodesPerElement + k)];
        Put(file, ZORFormat("%i ", pointOf[static_cast<std::size_t>(node)]));
      }
      cellSizes.push_back(nodesPerElement);
    }
  }
  Put(file, "\n        </DataArray>\n");

  Put(file, "        <DataArray type=\"Int32\" Name=\"offsets\" Format=\"ascii\">");
  WrappedIntegers offsets(file);
  int offset = 0;
  for (const int size : cellSizes) offsets.Write(offset += size);
  Put(file, "\n        </DataArray>\n");

  Put(file, "        <DataArray type=\"Int32\" Name=\"types\" Format=\"ascii\">");
  WrappedIntegers types(file);
  for (const int size : cellSizes) types.Write(CellType(size));
  Put(file, "\n        </DataArray>\n");
  Put(file, "      </Cells>\n");
}

void ZORMtkSimReader::WriteVtkPointData(std::FILE* file, const cow_String& name,
                                        int incrementNo) const {
  const ZORSimDynamicID field = GetFieldID(name, 1);
  const int components = GetSimpleFieldSize(field, 1, incrementNo);
  if (components <= 0) return;
  std::vector<double> values(
      static_cast<std::size_t>(numNodes) * static_cast<std::size_t>(components), 0.0);
  GetSimpleNodeField(field, 1, incrementNo, static_cast<int>(values.size()), values.data());
  Put(file, "        <PointData>\n");
  Put(file,
      ZORFormat("            <DataArray type=\"Float32\" Name=\"%s\" NumberOfComponents=\"%i\" "
                "format=\"ascii\">\n",
                name.CStr(), components));
  for (int i = 0; i < numNodes; ++i) {
    Put(file, "               ");
    for (int c = 0; c < components; ++c)
      Put(file, ZORFormat("%14.5E ", values[static_cast<std::size_t>(i * components + c)]));
    Put(file, "\n");
  }
  Put(file, "            </DataArray>\n");
  Put(file, "        </PointData>\n");
}
