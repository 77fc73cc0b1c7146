#include "driver/console/text_encoder.hpp"

#include <cerrno>
#include <cstdlib>

#include <langinfo.h>
#include <locale.h>

namespace kin::driver {

namespace {

}  // namespace

TextEncoder::TextEncoder(std::string encoding, bool standIns) : encoding_(std::move(encoding)) {
    if (encoding_ == "UTF-8") return;
    const std::string to = standIns ? encoding_ + "//TRANSLIT" : encoding_;
    cd_ = iconv_open(to.c_str(), "UTF-8");
}

TextEncoder::~TextEncoder() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
}

void TextEncoder::write(std::FILE* out, const char* utf8, std::size_t n) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
        std::fwrite(utf8, 1, n, out);
        return;
    }
    char* from = const_cast<char*>(utf8);
    std::size_t fromLeft = n;
    char buffer[1024];
    while (fromLeft > 0) {
        char* to = buffer;
        std::size_t toLeft = sizeof buffer;
        const std::size_t r = iconv(cd_, &from, &fromLeft, &to, &toLeft);
        const int err = errno;
        std::fwrite(buffer, 1, sizeof buffer - toLeft, out);
        if (r != static_cast<std::size_t>(-1) || err == E2BIG) continue;
        // A character the target lacks, or bytes that are not UTF-8: one
        // question mark for the character (or for the broken sequence), then
        // go on after it.
        std::fputc('?', out);
        if (err != EILSEQ && err != EINVAL) break;
        const std::size_t skip = utf8SequenceLength(from, fromLeft);
        from += skip;
        fromLeft -= skip;
    }
    char* to = buffer;
    std::size_t toLeft = sizeof buffer;
    iconv(cd_, nullptr, nullptr, &to, &toLeft);
    std::fwrite(buffer, 1, sizeof buffer - toLeft, out);
}

std::string codesetOfLocaleName(const std::string& name) {
    const std::size_t dot = name.find('.');
    if (dot == std::string::npos) return "";
    const std::size_t at = name.find('@', dot);
    return name.substr(dot + 1, at == std::string::npos ? std::string::npos : at - dot - 1);
}

TerminalCodeset terminalCodeset() {
    locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (loc != static_cast<locale_t>(nullptr)) {
        std::string codeset = nl_langinfo_l(CODESET, loc);
        freelocale(loc);
        return {codeset, ""};
    }
    // The locale is not installed. Its name still says what the terminal
    // shows; the C locale would show the text as question marks.
    std::string name;
    for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* v = std::getenv(var);
        if (v != nullptr && *v != '\0') {
            name = v;
            break;
        }
    }
    const std::string named = codesetOfLocaleName(name);
    if (!named.empty()) {
        iconv_t cd = iconv_open(named.c_str(), "UTF-8");
        if (cd != reinterpret_cast<iconv_t>(-1)) {
            iconv_close(cd);
            return {named, ""};
        }
    }
    return {"UTF-8", "note: the locale '" + name +
                         "' is not available here; the dialogue is written in UTF-8"};
}

}  // namespace kin::driver
