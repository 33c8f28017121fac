#include "platform/linux/RegText.h"

#include <cstdio>

namespace {

// No value in a settings file is anywhere near this; larger ones are damage.
constexpr size_t MAX_VALUE_SIZE = 65536;

std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + '"';
}

void AppendHex(std::string* pLine, const std::vector<uint8_t>& bytes) {
    size_t nColumn = pLine->size();
    for (size_t i = 0; i < bytes.size(); ++i) {
        char szByte[4];
        std::snprintf(szByte, sizeof(szByte), "%02x", bytes[i]);
        *pLine += szByte;
        nColumn += 2;
        if (i + 1 < bytes.size()) {
            *pLine += ',';
            ++nColumn;
            if (nColumn > 74) {
                *pLine += "\\\n  ";
                nColumn = 2;
            }
        }
    }
}

// The text of a string value when it is plain text followed by zeros only; false otherwise.
bool PlainString(const std::vector<uint8_t>& bytes, std::string* pText) {
    size_t nLength = 0;
    while (nLength < bytes.size() && bytes[nLength] != 0) {
        if (bytes[nLength] < 0x20 || bytes[nLength] == 0x7F) {
            return false;
        }
        ++nLength;
    }
    if (nLength == bytes.size()) {
        return false;
    }
    for (size_t i = nLength; i < bytes.size(); ++i) {
        if (bytes[i] != 0) {
            return false;
        }
    }
    pText->assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(nLength));
    return true;
}

std::string FormatValue(const StoreValue& value) {
    std::string line = Quote(value.name) + "=";
    std::string text;
    if (value.dwType == 4 && value.bytes.size() == 4) {
        char szNumber[16];
        const uint32_t dwNumber =
            static_cast<uint32_t>(value.bytes[0]) | static_cast<uint32_t>(value.bytes[1]) << 8 |
            static_cast<uint32_t>(value.bytes[2]) << 16 | static_cast<uint32_t>(value.bytes[3]) << 24;
        std::snprintf(szNumber, sizeof(szNumber), "dword:%08x", dwNumber);
        return line + szNumber;
    }
    if (value.dwType == 1 && PlainString(value.bytes, &text)) {
        if (value.bytes.size() == text.size() + 1) {
            return line + Quote(text);
        }
        return line + "sz(" + std::to_string(value.bytes.size()) + "):" + Quote(text);
    }
    if (value.dwType == 3) {
        line += "hex:";
    } else {
        char szType[24];
        std::snprintf(szType, sizeof(szType), "hex(%x):", value.dwType);
        line += szType;
    }
    AppendHex(&line, value.bytes);
    return line;
}

// A reader over one logical line; every Read advances only on success.
struct Cursor {
    const std::string& line;
    size_t i = 0;

    bool Literal(const char* pszText) {
        const std::string text(pszText);
        if (line.compare(i, text.size(), text) != 0) {
            return false;
        }
        i += text.size();
        return true;
    }
    void SkipBlanks() {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
    }
    bool AtEnd() {
        SkipBlanks();
        return i == line.size();
    }
    bool Quoted(std::string* pText) {
        if (i >= line.size() || line[i] != '"') {
            return false;
        }
        std::string text;
        for (size_t j = i + 1; j < line.size(); ++j) {
            if (line[j] == '"') {
                *pText = text;
                i = j + 1;
                return true;
            }
            if (line[j] == '\\') {
                if (++j == line.size() || (line[j] != '\\' && line[j] != '"')) {
                    return false;
                }
            }
            text += line[j];
        }
        return false;
    }
    // 1 to nMaxDigits hexadecimal digits, or exactly nMaxDigits when bExact.
    bool Hex(uint32_t nMaxDigits, uint32_t* pdwValue, bool bExact = false) {
        uint32_t dwValue = 0;
        uint32_t nDigits = 0;
        for (; i < line.size() && nDigits <= nMaxDigits; ++i, ++nDigits) {
            const char c = line[i];
            const int nDigit = (c >= '0' && c <= '9')   ? c - '0'
                               : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                               : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                        : -1;
            if (nDigit < 0) {
                break;
            }
            dwValue = dwValue << 4 | static_cast<uint32_t>(nDigit);
        }
        *pdwValue = dwValue;
        return nDigits >= (bExact ? nMaxDigits : 1) && nDigits <= nMaxDigits;
    }
    bool HexBytes(std::vector<uint8_t>* pBytes) {
        pBytes->clear();
        if (AtEnd()) {
            return true;
        }
        for (;;) {
            SkipBlanks();
            uint32_t dwByte = 0;
            if (!Hex(2, &dwByte, true) || pBytes->size() >= MAX_VALUE_SIZE) {
                return false;
            }
            pBytes->push_back(static_cast<uint8_t>(dwByte));
            if (AtEnd()) {
                return true;
            }
            if (!Literal(",")) {
                return false;
            }
        }
    }
};

bool ParseValue(const std::string& line, StoreValues* pValues) {
    Cursor in{line};
    std::string name;
    std::string text;
    std::vector<uint8_t> bytes;
    uint32_t dwType = 0;
    uint32_t dwNumber = 0;
    // A name holding a zero byte is damage: cut at the zero it would read as another value's name.
    if (!in.Quoted(&name) || name.empty() || name.find('\0') != std::string::npos || !in.Literal("=")) {
        return false;
    }
    if (in.Quoted(&text)) {
        dwType = 1;
        bytes.assign(text.begin(), text.end());
        bytes.push_back(0);
    } else if (in.Literal("dword:")) {
        // Exactly eight digits, so that a file cut short inside a number does not pass for a smaller one.
        if (!in.Hex(8, &dwNumber, true)) {
            return false;
        }
        dwType = 4;
        bytes = {static_cast<uint8_t>(dwNumber), static_cast<uint8_t>(dwNumber >> 8),
                 static_cast<uint8_t>(dwNumber >> 16), static_cast<uint8_t>(dwNumber >> 24)};
    } else if (in.Literal("sz(")) {
        uint32_t dwSize = 0; // decimal
        size_t nDigits = 0;
        while (in.i < line.size() && line[in.i] >= '0' && line[in.i] <= '9' && nDigits < 6) {
            dwSize = dwSize * 10 + static_cast<uint32_t>(line[in.i++] - '0');
            ++nDigits;
        }
        if (nDigits == 0 || !in.Literal("):") || !in.Quoted(&text) || dwSize < text.size() + 1 ||
            dwSize > MAX_VALUE_SIZE) {
            return false;
        }
        dwType = 1;
        bytes.assign(text.begin(), text.end());
        bytes.resize(dwSize, 0);
    } else if (in.Literal("hex:")) {
        dwType = 3;
        if (!in.HexBytes(&bytes)) {
            return false;
        }
    } else if (in.Literal("hex(")) {
        if (!in.Hex(8, &dwType) || !in.Literal("):") || !in.HexBytes(&bytes)) {
            return false;
        }
    } else {
        return false;
    }
    if (!in.AtEnd()) {
        return false;
    }
    pValues->Set(name.c_str(), dwType, bytes.data(), static_cast<uint32_t>(bytes.size()));
    return true;
}

} // namespace

std::string FormatRegText(const std::string& keyPath, const StoreValues& values) {
    std::string text = "Windows Registry Editor Version 5.00\n\n[" + keyPath + "]\n";
    for (const StoreValue& value : values.All()) {
        text += FormatValue(value) + "\n";
    }
    return text + "\n";
}

void ParseRegText(const std::string& text, const std::string& keyPath, StoreValues* pValues) {
    bool bInKey = false;
    std::string line;
    size_t nStart = 0;
    while (nStart < text.size()) {
        size_t nEnd = text.find('\n', nStart);
        if (nEnd == std::string::npos) {
            nEnd = text.size();
        }
        std::string part = text.substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        if (!part.empty() && part.back() == '\r') {
            part.pop_back();
        }
        // A continued line joins the next one, whose leading blanks are dropped.
        if (!line.empty()) {
            const size_t nFirst = part.find_first_not_of(" \t");
            part = nFirst == std::string::npos ? std::string() : part.substr(nFirst);
        }
        line += part;
        if (!line.empty() && line.back() == '\\' && nStart < text.size()) {
            line.pop_back();
            continue;
        }
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            bInKey = StoreNamesEqual(line.substr(1, line.size() - 2), keyPath);
        } else if (bInKey) {
            ParseValue(line, pValues);
        }
        line.clear();
    }
}
