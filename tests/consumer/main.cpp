// consumer in.wav out.pitch: the contour of a WAV file through the installed library, written as
// the tool writes its pitch file. Built as C++17, as a program outside the project would be.
#include <pitchtrack/pitchtrack.h>

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: consumer in.wav out.pitch\n");
    return 2;
  }
  try {
    const pitchtrack::Contour contour = pitchtrack::trackFile(argv[1]);
    std::ofstream(argv[2], std::ios::binary) << pitchtrack::formatContour(contour);
  } catch (const pitchtrack::WaveError& error) {
    std::fprintf(stderr, "consumer: %s\n", error.what());
    return 1;
  }
  return 0;
}
