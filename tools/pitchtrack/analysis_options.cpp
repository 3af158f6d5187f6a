#include "analysis_options.h"

#include "report.h"

namespace pitchtrack::cli {

Options analysisOptions(const CommandLine& line, const std::string& file) {
  Options options = line.analysis;
  if (!line.quiet) {
    options.warning = [file](const Warning& warning) {
      reportFailure(file, "warning: " + warning.message);
    };
  }
  return options;
}

}  // namespace pitchtrack::cli
