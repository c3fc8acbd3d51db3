#pragma once
// Image files made by other programs (ImageMagick, libtiff's tools) for the
// imaging tests, so that what is read is not only what we write ourselves.

#include <cstdlib>
#include <string>

namespace imagingtest {

// Runs a shell command quietly; true when it exits with 0.
inline bool run(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// A colour test picture: a gradient with a black bar and a red square.
inline std::string colourPicture(int w, int h) {
  return "-size " + std::to_string(w) + "x" + std::to_string(h) +
         " gradient:'#3060c0-#f0e080' -fill black -draw 'rectangle 5,5 30,12' -fill red -draw 'rectangle 40,20 60,40' -alpha off -depth 8";
}

// A black-and-white page: white with black shapes.
inline std::string bilevelPicture(int w, int h) {
  return "-size " + std::to_string(w) + "x" + std::to_string(h) +
         " xc:white -fill black -draw 'rectangle 10,10 50,30' -draw 'circle 80,60 90,70'";
}

// convert <args> <out>; the output path may carry a format prefix (BMP3:...).
inline bool convert(const std::string& args, const std::string& out) {
  return run("convert " + args + " '" + out + "'");
}

// identify's answer for a format string, e.g. "%w %h %z".
inline std::string identify(const std::string& format, const std::string& path) {
  std::string command = "identify -format '" + format + "' '" + path + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {};
  std::string out;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  pclose(pipe);
  return out;
}

}  // namespace imagingtest
