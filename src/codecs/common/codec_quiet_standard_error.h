// Some codec libraries report what they find wrong in a damaged file on the standard error
// stream (the AV1 decoder behind libheif, libjxl's failure traces) and offer no way to give
// them another logger. The program's console carries its own lines only, so standard error
// leads nowhere while such a library decodes. The program decodes one picture on one thread;
// the libraries' own threads end before their decoding call returns.
#pragma once

namespace pic2pnm::codecs {

// In a decode child standard error is a pipe to the parent, which drops the libraries' words
// itself: nothing is redirected there (the child may not open /dev/null).
void SetStandardErrorFilteredByParent(bool filtered);

class QuietStandardError {
  public:
    QuietStandardError();
    ~QuietStandardError();
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

  private:
    int saved_;  // standard error as it was; -1 when it could not be kept
};

}  // namespace pic2pnm::codecs
