#include "api/ZORMtkDiagnosticTexts.h"

#include "mapper/ZORMtkMapper.h"

// The mapper's texts carry no data: a host appends placeholders for the lists it wants shown.
// The conservation text already holds its own.
std::vector<std::string> ZORMtkDiagnosticTexts::Of(const ZORMtkMapper& mapper) {
  std::vector<std::string> texts;
  cow_List<int> codes;
  mapper.ListErrors(codes);
  for (const int code : codes) {
    cow_String message;
    cow_List<int> ints;
    cow_List<double> doubles;
    mapper.ProcessError(code, message, ints, doubles);
    std::string suffix;
    if (code != CodeNotConserved) {
      if (ints.Size() > kShownPoints) {
        suffix = " ... (" + std::to_string(ints.Size()) + " in all)";
        ints = cow_List<int>(std::vector<int>(ints.begin(), ints.begin() + kShownPoints));
      }
      // Coordinates come three per point.
      if (doubles.Size() > 3 * kShownPoints) {
        suffix = " ... (" + std::to_string(doubles.Size() / 3) + " points in all)";
        doubles = cow_List<double>(
            std::vector<double>(doubles.begin(), doubles.begin() + 3 * kShownPoints));
      }
      message = message.Str() + (ints.IsEmpty() ? "" : "%LI") + (doubles.IsEmpty() ? "" : "%LC");
    }
    mapper.ProcessErrorMessage(message, ints, doubles);
    texts.push_back(message.Str() + suffix);
  }
  return texts;
}
