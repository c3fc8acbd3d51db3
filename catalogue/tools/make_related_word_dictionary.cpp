// Build step: writes the empty related-word dictionary that the installed
// resources ship, since the dictionary engine only opens existing files.
//   make_related_word_dictionary OUTPUT_FOLDER

#include "catalogue/related_word_dictionary.h"

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  if (!CreateEmptyRelatedWordDictionary(argv[1])) {
    std::fprintf(stderr, "%s: cannot write the dictionary into %s\n", argv[0], argv[1]);
    return 1;
  }
  return 0;
}
