#include "catalogue/pg_text.h"

namespace korvane {
namespace {

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace

char32_t Utf8CodeAt(std::string_view text, std::size_t at, std::size_t length) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    switch (length) {
        case 1:
            return byte(0);
        case 2:
            return ((byte(0) & 0x1Fu) << 6) | (byte(1) & 0x3Fu);
        case 3:
            return ((byte(0) & 0x0Fu) << 12) | ((byte(1) & 0x3Fu) << 6) | (byte(2) & 0x3Fu);
        default:
            return ((byte(0) & 0x07u) << 18) | ((byte(1) & 0x3Fu) << 12) | ((byte(2) & 0x3Fu) << 6) |
                   (byte(3) & 0x3Fu);
    }
}

std::size_t ValidUtf8Length(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length;
    char32_t minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - at < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    const char32_t code = Utf8CodeAt(text, at, length);
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return length;
}

std::string PgTextFromBytes(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t length = bytes[at] == '\0' ? 0 : ValidUtf8Length(bytes, at);
        if (length > 0) {
            const char32_t code = Utf8CodeAt(bytes, at, length);
            if (code < kPgByteEscapeFirst || code > kPgByteEscapeLast) {
                text.append(bytes.substr(at, length));
                at += length;
                continue;
            }
        } else {
            length = 1;
        }
        for (std::size_t i = 0; i < length; ++i) {
            AppendUtf8(text, kPgByteEscapeFirst + static_cast<unsigned char>(bytes[at + i]));
        }
        at += length;
    }
    return text;
}

std::string BytesFromPgText(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t length = ValidUtf8Length(text, at);
        if (length == 0) {
            bytes += text[at++];  // not from the server; kept as it is
            continue;
        }
        const char32_t code = Utf8CodeAt(text, at, length);
        if (code >= kPgByteEscapeFirst && code <= kPgByteEscapeLast) {
            bytes += static_cast<char>(code - kPgByteEscapeFirst);
        } else {
            bytes.append(text.substr(at, length));
        }
        at += length;
    }
    return bytes;
}

std::string QuotePgName(std::string_view name) {
    std::string quoted = "\"";
    for (const char c : PgTextFromBytes(name)) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string PgTextLiteral(std::string_view bytes) {
    const std::string text = PgTextFromBytes(bytes);
    const bool backslash = text.find('\\') != std::string::npos;
    std::string literal = backslash ? "E'" : "'";
    for (const char c : text) {
        if (c == '\'' || (backslash && c == '\\')) {
            literal += c;
        }
        literal += c;
    }
    literal += '\'';
    return literal;
}

}  // namespace korvane
