// libFuzzer target: any byte stream, split into chunks chosen by the input itself, must leave the
// virtual controller's interpreter within its bounds.
#include "controller/Interpreter.h"

#include <QGuiApplication>

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QGuiApplication(*argc, *argv); // fonts need it; it lives until the process ends
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const int chunk = 1 + data[0] % 97; // the first byte picks the chunking
    controller::Interpreter interpreter(data[0] % 8);
    for (size_t at = 1; at < size; at += size_t(chunk))
        interpreter.feed(reinterpret_cast<const char *>(data) + at, qsizetype(qMin(size - at, size_t(chunk))));
    interpreter.finish();
    interpreter.takeReplies();
    if (interpreter.paper().rows() > controller::Paper::maxRows || interpreter.log().size() > qsizetype(size) + 2)
        std::abort();
    return 0;
}
