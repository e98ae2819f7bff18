// FormData.txt: read as the program reads it (byte-order marks, UTF-16) and cut into the
// form-field menu's snippets. Input: a selector byte, then the file's bytes.
#include "FuzzSupport.h"

#include "frame/FormData.h"
#include "store/cFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray raw = fuzz::bytes(data + 1, size - 1);
    QString text;
    if (data[0] & 1) {
        cFile file;
        text = file.ReadFileToVariable(fuzz::writeFile("FormData.txt", raw));
    } else {
        text = QString::fromUtf8(raw);
    }
    int previous = 2;
    for (const FormDataSnippet &s : FormDataSnippets(text)) {
        fuzz::require(s.index > previous && !s.text.isEmpty() && s.text == s.text.trimmed());
        fuzz::require(s.caption == s.text.left(80));
        previous = s.index;
    }
    return 0;
}
