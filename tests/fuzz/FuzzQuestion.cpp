// The question parser on any bytes; what parses must encode back to a file that parses
// to the same record.
#include <cstdlib>

#include "model/TestData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TTestQuestion question;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (!ParseQuestion(bytes, question)) return 0;
    TTestQuestion again;
    if (!ParseQuestion(EncodeQuestion(question), again)) abort();
    if (again.Text != question.Text || again.Answers.size() != question.Answers.size()) abort();
    return 0;
}
