#include "analysis_warnings.h"

#include <pybind11/stl.h>

#include <array>
#include <string>
#include <utility>

namespace py = pybind11;

namespace {

using pitchtrack::WarningKind;

constexpr std::array<std::pair<WarningKind, const char*>, 6> kKindNames = {{
    {WarningKind::kClipping, "clipping"},
    {WarningKind::kQuietRecording, "quiet_recording"},
    {WarningKind::kFinalStretchDropped, "final_stretch_dropped"},
    {WarningKind::kOutsideFinalRange, "outside_final_range"},
    {WarningKind::kEmptyContour, "empty_contour"},
    {WarningKind::kStreamEndedEarly, "stream_ended_early"},
}};

const char* kindName(WarningKind kind) {
  for (const auto& [known, name] : kKindNames) {
    if (known == kind) return name;
  }
  return "unknown";
}

WarningKind kindNamed(const std::string& text) {
  for (const auto& [kind, name] : kKindNames) {
    if (text == name) return kind;
  }
  throw py::value_error("pitchtrack.Contour: unknown warning kind '" + text + "'");
}

py::object warningObject(const pitchtrack::Warning& w) {
  const py::object category = py::module_::import("pitchtrack._errors").attr("AnalysisWarning");
  return category(w.message, kindName(w.kind), w.startSeconds, w.endSeconds);
}

}  // namespace

py::tuple warningObjects(const std::vector<pitchtrack::Warning>& warnings) {
  py::tuple out(warnings.size());
  for (size_t i = 0; i < warnings.size(); ++i) out[i] = warningObject(warnings[i]);
  return out;
}

void issueWarnings(const std::vector<pitchtrack::Warning>& warnings, int stacklevel) {
  if (warnings.empty()) return;
  const py::object warn = py::module_::import("warnings").attr("warn");
  for (const pitchtrack::Warning& w : warnings) {
    warn(warningObject(w), py::arg("stacklevel") = stacklevel);
  }
}

py::list warningsState(const std::vector<pitchtrack::Warning>& warnings) {
  py::list out;
  for (const pitchtrack::Warning& w : warnings) {
    out.append(py::make_tuple(kindName(w.kind), w.startSeconds, w.endSeconds, w.message));
  }
  return out;
}

std::vector<pitchtrack::Warning> warningsFromState(const py::handle& state) {
  std::vector<pitchtrack::Warning> out;
  for (const py::handle item : state) {
    const auto [kind, start, end, message] =
        item.cast<std::tuple<std::string, double, double, std::string>>();
    out.push_back({kindNamed(kind), start, end, message});
  }
  return out;
}
