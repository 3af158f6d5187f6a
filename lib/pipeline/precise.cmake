# The precise analysis (pipeline/precise_*): a streaming pitch analysis of its own beside the
# classic contour, built into the library's objects. Standard library only.
target_sources(pitchtrack_objects PRIVATE
  pipeline/precise_analysis.cpp
  pipeline/precise_box_decimator.cpp
  pipeline/precise_candidates.cpp
  pipeline/precise_choice.cpp
  pipeline/precise_iir_lowpass.cpp
  pipeline/precise_math.cpp
  pipeline/precise_periodicity.cpp
  pipeline/precise_resampler.cpp
  pipeline/precise_tenths.cpp
  pipeline/precise_tracker.cpp
  pipeline/precise_trim.cpp)
