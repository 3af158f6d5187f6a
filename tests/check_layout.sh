#!/usr/bin/env bash
# The include rules that keep folders and targets in step: the library never reaches a program,
# its reader and its kernels stay apart and below the public facade, the public headers show
# nothing internal, and the two programs share only tools/common. Prints every breach.
set -uo pipefail
root=${1:-$(dirname "$0")/..}
cd "$root" || exit 2
status=0

# breach DESCRIPTION FOLDER PATTERN: every include line under FOLDER matching PATTERN is a breach.
breach() {
  local found
  found=$(grep -rnE --include='*.h' --include='*.cpp' "^#include \"($3)" "$2" 2>/dev/null)
  if [ -n "$found" ]; then
    echo "$1:"
    echo "$found"
    status=1
  fi
}

breach "the library includes a program's file" lib 'tools/|command_line|output_file|output_format|fatal_report|contour_plot|plot_options'
breach "lib/wave includes the kernels or the facade" lib/wave 'audio/|pipeline/|api/|pitchtrack/pitchtrack\.h'
breach "lib/audio includes the reader or the facade" lib/audio 'wave/|pipeline/|api/|pitchtrack/pitchtrack\.h'
breach "lib/pipeline includes the facade or the entries" lib/pipeline 'api/|pitchtrack/pitchtrack\.h'
breach "a public header includes an internal one" include '(audio|wave|pipeline|api)/'
breach "pitchplot includes the tool's files" tools/pitchplot 'command_line|corpus|track_one|report|output_format|fatal_report|analysis_options'
breach "the tool includes pitchplot's files" tools/pitchtrack 'contour_plot|plot_options'
breach "tools/common includes a program's files" tools/common 'command_line|corpus|track_one|report\.h|output_format|fatal_report|analysis_options|contour_plot|plot_options'
exit $status
