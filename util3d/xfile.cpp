#include "util3d/xfile.h"

#include <zlib.h>

#include <charconv>
#include <cstring>
#include <deque>
#include <unordered_map>

namespace {

enum class Tok {
    End,
    Error,
    Name,
    String,
    Integer,
    Real,
    Guid,
    IntList,
    FloatList,
    OBrace,
    CBrace,
    OParen,
    CParen,
    OBracket,
    CBracket,
    OAngle,
    CAngle,
    Dot,
    Comma,
    Semicolon,
    Template,
    TypeWord,  // WORD, DWORD, FLOAT, array and the like: only found in template declarations
};

struct Token {
    Tok type = Tok::End;
    std::string text;  // Name, String, Guid; the message for Error
    double number = 0.0;
    std::vector<double> list;  // IntList, FloatList
};

std::uint16_t Le16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

std::string FormatGuid(std::uint32_t d1, std::uint16_t d2, std::uint16_t d3, const std::uint8_t* d4) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", d1, d2, d3, d4[0], d4[1],
                  d4[2], d4[3], d4[4], d4[5], d4[6], d4[7]);
    return buf;
}

std::string UpperCase(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

class Lexer {
public:
    virtual ~Lexer() = default;
    virtual Token Next() = 0;
};

class TextLexer : public Lexer {
public:
    TextLexer(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}

    Token Next() override {
        SkipBlanks();
        Token t;
        if (p_ >= end_) return t;
        char c = char(*p_);
        switch (c) {
            case '{': ++p_; t.type = Tok::OBrace; return t;
            case '}': ++p_; t.type = Tok::CBrace; return t;
            case '(': ++p_; t.type = Tok::OParen; return t;
            case ')': ++p_; t.type = Tok::CParen; return t;
            case '[': ++p_; t.type = Tok::OBracket; return t;
            case ']': ++p_; t.type = Tok::CBracket; return t;
            case ',': ++p_; t.type = Tok::Comma; return t;
            case ';': ++p_; t.type = Tok::Semicolon; return t;
            case '<': return ReadGuid();
            case '"': return ReadString();
            default: break;
        }
        if (IsDigit(c) || (c == '.' && NextIsDigit(1)) ||
            ((c == '-' || c == '+') && (NextIsDigit(1) || (p_ + 1 < end_ && p_[1] == '.' && NextIsDigit(2)))))
            return ReadNumber();
        if (IsNameStart(c)) return ReadName();
        if (c == '.') {
            ++p_;
            t.type = Tok::Dot;
            return t;
        }
        return Fail("unexpected character");
    }

private:
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
    bool NextIsDigit(std::size_t k) const { return std::size_t(end_ - p_) > k && IsDigit(char(p_[k])); }
    static bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
    static bool IsNameChar(char c) { return IsNameStart(c) || IsDigit(c) || c == '-' || c == '.'; }

    Token Fail(const char* message) {
        Token t;
        t.type = Tok::Error;
        t.text = message;
        return t;
    }

    void SkipBlanks() {
        while (p_ < end_) {
            char c = char(*p_);
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v' || c == '\0') {
                ++p_;
            } else if (c == '#' || (c == '/' && p_ + 1 < end_ && p_[1] == '/')) {
                while (p_ < end_ && *p_ != '\n') ++p_;
            } else {
                break;
            }
        }
    }

    Token ReadGuid() {
        const std::uint8_t* start = ++p_;
        while (p_ < end_ && *p_ != '>' && *p_ != '\n') ++p_;
        if (p_ >= end_ || *p_ != '>') return Fail("unterminated GUID");
        Token t;
        t.type = Tok::Guid;
        t.text = UpperCase(std::string(start, p_));
        ++p_;
        return t;
    }

    Token ReadString() {
        const std::uint8_t* start = ++p_;
        while (p_ < end_ && *p_ != '"') ++p_;
        if (p_ >= end_) return Fail("unterminated string");
        Token t;
        t.type = Tok::String;
        t.text.assign(start, p_);
        ++p_;
        return t;
    }

    Token ReadNumber() {
        const std::uint8_t* start = p_;
        bool real = false;
        if (*p_ == '-' || *p_ == '+') ++p_;
        while (p_ < end_) {
            char c = char(*p_);
            if (IsDigit(c)) {
                ++p_;
            } else if (c == '.') {
                real = true;
                ++p_;
            } else if ((c == 'e' || c == 'E') && p_ + 1 < end_ &&
                       (IsDigit(char(p_[1])) || ((p_[1] == '-' || p_[1] == '+') && p_ + 2 < end_ &&
                                                 IsDigit(char(p_[2]))))) {
                real = true;
                p_ += 2;
            } else {
                break;
            }
        }
        const char* first = reinterpret_cast<const char*>(start);
        if (*first == '+') ++first;
        Token t;
        t.type = real ? Tok::Real : Tok::Integer;
        auto result = std::from_chars(first, reinterpret_cast<const char*>(p_), t.number);
        if (result.ec != std::errc() || result.ptr != reinterpret_cast<const char*>(p_)) return Fail("bad number");
        return t;
    }

    Token ReadName() {
        const std::uint8_t* start = p_;
        while (p_ < end_ && IsNameChar(char(*p_))) ++p_;
        Token t;
        t.text.assign(start, p_);
        std::string upper = UpperCase(t.text);
        if (upper == "TEMPLATE") {
            t.type = Tok::Template;
        } else {
            t.type = Tok::Name;
        }
        return t;
    }

    const std::uint8_t* p_;
    const std::uint8_t* end_;
};

class BinaryLexer : public Lexer {
public:
    BinaryLexer(const std::uint8_t* data, std::size_t size, bool doubles)
        : p_(data), end_(data + size), doubles_(doubles) {}

    Token Next() override {
        Token t;
        if (p_ >= end_) return t;
        if (Left() < 2) return Fail("truncated token");
        std::uint16_t code = Le16(p_);
        p_ += 2;
        switch (code) {
            case 1:  // name
            case 2: {  // string
                if (Left() < 4) return Fail("truncated name");
                std::uint32_t count = Le32(p_);
                p_ += 4;
                if (count > Left()) return Fail("name longer than the file");
                t.type = code == 1 ? Tok::Name : Tok::String;
                t.text.assign(p_, p_ + count);
                p_ += count;
                if (code == 2) SkipStringTerminator();
                return t;
            }
            case 3:
                if (Left() < 4) return Fail("truncated integer");
                t.type = Tok::Integer;
                t.number = Le32(p_);
                p_ += 4;
                return t;
            case 5:
                if (Left() < 16) return Fail("truncated GUID");
                t.type = Tok::Guid;
                t.text = FormatGuid(Le32(p_), Le16(p_ + 4), Le16(p_ + 6), p_ + 8);
                p_ += 16;
                return t;
            case 6:
            case 7: {
                if (Left() < 4) return Fail("truncated list");
                std::uint32_t count = Le32(p_);
                p_ += 4;
                std::size_t width = code == 6 ? 4 : (doubles_ ? 8 : 4);
                if (count > Left() / width) return Fail("list longer than the file");
                t.type = code == 6 ? Tok::IntList : Tok::FloatList;
                t.list.resize(count);
                for (std::uint32_t i = 0; i < count; ++i, p_ += width) {
                    if (code == 6) {
                        t.list[i] = Le32(p_);
                    } else if (width == 4) {
                        std::uint32_t bits = Le32(p_);
                        float f;
                        std::memcpy(&f, &bits, 4);
                        t.list[i] = f;
                    } else {
                        std::uint64_t bits = Le32(p_) | (std::uint64_t(Le32(p_ + 4)) << 32);
                        double d;
                        std::memcpy(&d, &bits, 8);
                        t.list[i] = d;
                    }
                }
                return t;
            }
            case 10: t.type = Tok::OBrace; return t;
            case 11: t.type = Tok::CBrace; return t;
            case 12: t.type = Tok::OParen; return t;
            case 13: t.type = Tok::CParen; return t;
            case 14: t.type = Tok::OBracket; return t;
            case 15: t.type = Tok::CBracket; return t;
            case 16: t.type = Tok::OAngle; return t;
            case 17: t.type = Tok::CAngle; return t;
            case 18: t.type = Tok::Dot; return t;
            case 19: t.type = Tok::Comma; return t;
            case 20: t.type = Tok::Semicolon; return t;
            case 31: t.type = Tok::Template; return t;
            default:
                if (code >= 40 && code <= 52) {
                    t.type = Tok::TypeWord;
                    return t;
                }
                return Fail("unknown binary token");
        }
    }

private:
    std::size_t Left() const { return std::size_t(end_ - p_); }
    Token Fail(const char* message) {
        Token t;
        t.type = Tok::Error;
        t.text = message;
        return t;
    }
    // The format description gives the terminator after a string as a 32-bit
    // value while exporters write the usual 16-bit token: accept both.
    void SkipStringTerminator() {
        if (Left() >= 2 && (Le16(p_) == 19 || Le16(p_) == 20)) {
            p_ += 2;
            if (Left() >= 2 && Le16(p_) == 0) p_ += 2;
        }
    }

    const std::uint8_t* p_;
    const std::uint8_t* end_;
    bool doubles_;
};

// MSZIP: after the header a 32-bit total size, then blocks of a 16-bit
// uncompressed size, a 16-bit compressed size, "CK" and raw deflate data whose
// dictionary is the output of the block before.
bool Inflate(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>* out, std::string* error) {
    if (size < 4) {
        *error = "truncated compressed file";
        return false;
    }
    std::uint32_t total = Le32(data);
    std::size_t pos = 4;
    out->clear();
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
        *error = "inflate failed";
        return false;
    }
    bool ok = true;
    while (ok && pos < size) {
        if (size - pos < 6 || data[pos + 4] != 'C' || data[pos + 5] != 'K') {
            *error = "bad compressed block";
            ok = false;
            break;
        }
        std::size_t expected = Le16(data + pos);
        std::size_t compressed = Le16(data + pos + 2);
        std::size_t start = pos + 6;
        std::size_t avail = std::min(compressed, size - start);
        if (out->size() + expected > kXMaxInflated) {
            *error = "compressed file too large";
            ok = false;
            break;
        }
        std::size_t before = out->size();
        out->resize(before + expected);
        inflateReset(&z);
        if (before > 0) {
            std::size_t dict = std::min<std::size_t>(before, 32768);
            inflateSetDictionary(&z, out->data() + before - dict, uInt(dict));
        }
        z.next_in = const_cast<Bytef*>(data + start);
        z.avail_in = uInt(avail);
        z.next_out = out->data() + before;
        z.avail_out = uInt(expected);
        int rc = inflate(&z, Z_FINISH);
        std::size_t consumed = avail - z.avail_in;
        if (rc != Z_STREAM_END || z.avail_out != 0) {
            *error = "corrupt compressed block";
            ok = false;
            break;
        }
        // The compressed size counts the "CK" in some writers and not in others;
        // either way the next block starts where the deflate data ended.
        if (consumed + 2 == compressed || consumed == compressed) {
            pos = start + consumed;
        } else {
            *error = "compressed block size mismatch";
            ok = false;
            break;
        }
    }
    inflateEnd(&z);
    if (ok && total != out->size() && total != out->size() + 16) {
        *error = "compressed file truncated";
        ok = false;
    }
    return ok;
}

class Parser {
public:
    Parser(Lexer& lexer, XFile* file) : lexer_(lexer), file_(file) {}

    bool Run(std::string* error) {
        for (;;) {
            const Token& t = Peek(0);
            if (t.type == Tok::End) return true;
            bool ok = false;
            if (t.type == Tok::Template) {
                ok = ParseTemplate();
            } else if (t.type == Tok::Name) {
                std::size_t index = 0;
                ok = ParseObject(0, &index);
                if (ok) file_->topLevel.push_back(index);
            } else if (t.type == Tok::Error) {
                error_ = t.text;
            } else {
                error_ = "expected a template or a data object";
            }
            if (!ok) {
                *error = error_.empty() ? "syntax error" : error_;
                return false;
            }
        }
    }

private:
    const Token& Peek(std::size_t k) {
        while (ahead_.size() <= k) ahead_.push_back(lexer_.Next());
        return ahead_[k];
    }
    Token Take() {
        Peek(0);
        Token t = std::move(ahead_.front());
        ahead_.pop_front();
        return t;
    }
    bool Expect(Tok type, const char* what) {
        Token t = Take();
        if (t.type == type) return true;
        error_ = t.type == Tok::Error ? t.text : std::string("expected ") + what;
        return false;
    }

    bool ParseTemplate() {
        Take();
        Token name = Take();
        if (name.type != Tok::Name) {
            error_ = "template without a name";
            return false;
        }
        if (!Expect(Tok::OBrace, "'{' after the template name")) return false;
        // Members and restrictions are read to the closing brace; the layout of
        // the standard templates is known, and other objects are skipped by
        // their structure.
        for (;;) {
            Token t = Take();
            if (t.type == Tok::CBrace) break;
            if (t.type == Tok::End || t.type == Tok::Error || t.type == Tok::OBrace) {
                error_ = t.type == Tok::Error ? t.text : "unterminated template";
                return false;
            }
        }
        file_->templates.push_back(name.text);
        return true;
    }

    bool ParseObject(std::size_t depth, std::size_t* index) {
        if (depth >= kXMaxNesting) {
            error_ = "objects nested too deeply";
            return false;
        }
        XObject object;
        object.type = Take().text;
        if (Peek(0).type == Tok::Name) object.name = Take().text;
        if (!Expect(Tok::OBrace, "'{' to open a data object")) return false;
        if (Peek(0).type == Tok::Guid) object.guid = Take().text;
        std::vector<std::size_t> children;
        for (;;) {
            const Token& t = Peek(0);
            switch (t.type) {
                case Tok::CBrace: Take(); goto done;
                case Tok::Comma:
                case Tok::Semicolon: Take(); break;
                case Tok::Integer:
                case Tok::Real:
                    object.values.push_back(
                        XValue{t.type == Tok::Integer ? XValue::Integer : XValue::Real, t.number, 0});
                    Take();
                    break;
                case Tok::IntList:
                case Tok::FloatList: {
                    XValue::Kind kind = t.type == Tok::IntList ? XValue::Integer : XValue::Real;
                    for (double v : t.list) object.values.push_back(XValue{kind, v, 0});
                    Take();
                    break;
                }
                case Tok::String:
                    object.values.push_back(XValue{XValue::String, 0.0, std::uint32_t(object.strings.size())});
                    object.strings.push_back(Take().text);
                    break;
                case Tok::Name: {
                    std::size_t child = 0;
                    if (!ParseObject(depth + 1, &child)) return false;
                    children.push_back(child);
                    break;
                }
                case Tok::OBrace: {
                    std::size_t target = 0;
                    if (!ParseReference(&target)) return false;
                    children.push_back(target);
                    break;
                }
                case Tok::End: error_ = "file ends inside a data object"; return false;
                case Tok::Error: error_ = t.text; return false;
                default: error_ = "unexpected token in a data object"; return false;
            }
        }
    done:
        object.children = std::move(children);
        *index = file_->objects.size();
        // A name becomes known only once its object is complete, so a reference
        // can never lead back into the object that holds it.
        if (!object.name.empty()) byName_[object.name] = *index;
        if (!object.guid.empty()) byGuid_[object.guid] = *index;
        file_->objects.push_back(std::move(object));
        return true;
    }

    bool ParseReference(std::size_t* target) {
        Take();
        Token t = Take();
        std::string name, guid;
        if (t.type == Tok::Name) {
            name = t.text;
            if (Peek(0).type == Tok::Guid) guid = Take().text;
        } else if (t.type == Tok::Guid) {
            guid = t.text;
        } else {
            error_ = t.type == Tok::Error ? t.text : "bad reference";
            return false;
        }
        if (!Expect(Tok::CBrace, "'}' to close a reference")) return false;
        auto byName = name.empty() ? byName_.end() : byName_.find(name);
        if (byName != byName_.end()) {
            *target = byName->second;
        } else if (auto byGuid = guid.empty() ? byGuid_.end() : byGuid_.find(guid); byGuid != byGuid_.end()) {
            *target = byGuid->second;
        } else {
            error_ = "reference to an unknown object " + (name.empty() ? guid : name);
            return false;
        }
        file_->objects[*target].referenced = true;
        return true;
    }

    Lexer& lexer_;
    XFile* file_;
    std::deque<Token> ahead_;
    std::unordered_map<std::string, std::size_t> byName_, byGuid_;
    std::string error_;
};

}  // namespace

bool ParseXFile(const std::uint8_t* data, std::size_t size, XFile* file, std::string* error) {
    std::string ignored;
    if (!error) error = &ignored;
    *file = XFile{};
    if (!data || size < 16 || std::memcmp(data, "xof ", 4) != 0) {
        *error = "not an X file";
        return false;
    }
    std::string format(reinterpret_cast<const char*>(data + 8), 4);
    std::string floatSize(reinterpret_cast<const char*>(data + 12), 4);
    if (floatSize != "0032" && floatSize != "0064") {
        *error = "unknown float size";
        return false;
    }
    bool doubles = floatSize == "0064";
    const std::uint8_t* body = data + 16;
    std::size_t bodySize = size - 16;
    std::vector<std::uint8_t> inflated;
    if (format == "tzip" || format == "bzip") {
        if (!Inflate(body, bodySize, &inflated, error)) return false;
        // Some writers compress the header along with the data.
        std::size_t skip = inflated.size() >= 16 && std::memcmp(inflated.data(), "xof ", 4) == 0 ? 16 : 0;
        body = inflated.data() + skip;
        bodySize = inflated.size() - skip;
        format = format == "tzip" ? "txt " : "bin ";
    }
    bool ok;
    if (format == "txt ") {
        TextLexer lexer(body, bodySize);
        ok = Parser(lexer, file).Run(error);
    } else if (format == "bin ") {
        BinaryLexer lexer(body, bodySize, doubles);
        ok = Parser(lexer, file).Run(error);
    } else {
        *error = "unknown X file format";
        return false;
    }
    if (!ok) *file = XFile{};
    return ok;
}
