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
    std::size_t at = 0;        // offset of the token's first byte in the body
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
    // Where a token starts, for messages: "line 12", "byte 340".
    virtual std::string Where(std::size_t at) const = 0;
};

class TextLexer : public Lexer {
public:
    TextLexer(const std::uint8_t* data, std::size_t size) : begin_(data), p_(data), end_(data + size) {}

    // The body starts on the header's line.
    std::string Where(std::size_t at) const override {
        std::size_t line = 1;
        for (const std::uint8_t* q = begin_; q < begin_ + at && q < end_; ++q) line += *q == '\n';
        return "line " + std::to_string(line);
    }

    Token Next() override {
        SkipBlanks();
        Token t = Lex();
        if (t.type != Tok::End) t.at = start_;
        return t;
    }

private:
    Token Lex() {
        start_ = std::size_t(p_ - begin_);
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
        if (IsDigit(c)) {
            // Exporters write names that start with a digit ("3DS_Box"): a
            // number run straight into a letter is such a name.
            const std::uint8_t* start = p_;
            Token number = ReadNumber();
            if (number.type == Tok::Error || p_ >= end_ || !IsNameStart(char(*p_))) return number;
            p_ = start;
            return ReadName();
        }
        if ((c == '.' && NextIsDigit(1)) ||
            ((c == '-' || c == '+') && (NextIsDigit(1) || (p_ + 1 < end_ && p_[1] == '.' && NextIsDigit(2)))))
            return ReadNumber();
        if (IsNameStart(c)) return ReadName();
        if (c == '.') {
            ++p_;
            t.type = Tok::Dot;
            return t;
        }
        if (c >= '!' && c <= '~') return Fail(std::string("unexpected '") + c + "'");
        return Fail("unexpected byte " + std::to_string(unsigned(static_cast<unsigned char>(c))));
    }

    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
    bool NextIsDigit(std::size_t k) const { return std::size_t(end_ - p_) > k && IsDigit(char(p_[k])); }
    // Bytes above 127 belong to names: exporters write them in the code page
    // or in UTF-8 of the machine they ran on ("Kopf_\xC4", "Kopf_\xC3\x84").
    static bool IsNameStart(char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || static_cast<unsigned char>(c) >= 0x80;
    }
    static bool IsNameChar(char c) { return IsNameStart(c) || IsDigit(c) || c == '-' || c == '.'; }

    Token Fail(std::string message) {
        Token t;
        t.type = Tok::Error;
        t.text = std::move(message);
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

    const std::uint8_t* begin_;
    const std::uint8_t* p_;
    const std::uint8_t* end_;
    std::size_t start_ = 0;
};

class BinaryLexer : public Lexer {
public:
    // base: the offset of the body in the file, or in the unpacked data of a
    // compressed file (unpacked says which).
    BinaryLexer(const std::uint8_t* data, std::size_t size, bool doubles, std::size_t base, bool unpacked)
        : begin_(data), p_(data), end_(data + size), doubles_(doubles), base_(base), unpacked_(unpacked) {}

    std::string Where(std::size_t at) const override {
        return "byte " + std::to_string(base_ + at) + (unpacked_ ? " of the unpacked data" : "");
    }

    Token Next() override {
        std::size_t at = std::size_t(p_ - begin_);
        Token t = Lex();
        if (t.type != Tok::End) t.at = at;
        return t;
    }

private:
    Token Lex() {
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

    const std::uint8_t* begin_;
    const std::uint8_t* p_;
    const std::uint8_t* end_;
    bool doubles_;
    std::size_t base_;
    bool unpacked_;
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
    std::size_t block = 0;
    while (ok && pos < size) {
        ++block;
        std::string where = "compressed block " + std::to_string(block) + " (byte " + std::to_string(pos + 16) + ")";
        if (size - pos < 6 || data[pos + 4] != 'C' || data[pos + 5] != 'K') {
            *error = where + " does not start with its sizes and \"CK\"";
            ok = false;
            break;
        }
        std::size_t expected = Le16(data + pos);
        std::size_t compressed = Le16(data + pos + 2);
        std::size_t start = pos + 6;
        std::size_t avail = std::min(compressed, size - start);
        if (out->size() + expected > kXMaxInflated) {
            *error = "compressed file unpacks to more than " + std::to_string(kXMaxInflated >> 20) + " MB";
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
            *error = where + (rc == Z_STREAM_END || rc == Z_BUF_ERROR ? " is cut short or unpacks to another size"
                                                                      : " is corrupt");
            ok = false;
            break;
        }
        // The compressed size counts the "CK" in some writers and not in others;
        // either way the next block starts where the deflate data ended.
        if (consumed + 2 == compressed || consumed == compressed) {
            pos = start + consumed;
        } else {
            *error = where + ": its packed size does not match its data";
            ok = false;
            break;
        }
    }
    inflateEnd(&z);
    if (ok && total != out->size() && total != out->size() + 16) {
        *error = "compressed file cut short: " + std::to_string(out->size()) + " of " + std::to_string(total) +
                 " bytes unpacked";
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
            if (t.type == Tok::End && !pendingMissing_.empty()) {
                // Only now is it known whether the name comes later or never.
                error_ = pendingWhere_ + ": reference to " + XShownName(pendingMissing_) +
                         (byName_.count(pendingMissing_) || byGuid_.count(pendingMissing_)
                              ? ", which is defined only after the reference"
                              : ", which the file does not define");
                *error = error_;
                return false;
            }
            if (t.type == Tok::End) return true;
            bool ok = false;
            if (t.type == Tok::Template) {
                ok = ParseTemplate();
            } else if (t.type == Tok::Name) {
                std::size_t index = 0;
                ok = ParseObject(0, &index);
                if (ok) {
                    file_->topLevel.push_back(index);
                    file_->topLevelIsReference.push_back(false);
                }
            } else if (t.type == Tok::OBrace) {
                // A reference at the top level places what it names there;
                // with nothing to name, there is nothing to place.
                std::size_t target = 0;
                std::size_t at = Peek(0).at;
                std::string missing;
                ok = ParseReference(&target, &missing);
                if (ok && !missing.empty() && pendingMissing_.empty()) {
                    pendingMissing_ = missing;
                    pendingWhere_ = lexer_.Where(at);
                } else if (ok && missing.empty()) {
                    file_->objects[target].placed = true;
                    file_->topLevel.push_back(target);
                    file_->topLevelIsReference.push_back(true);
                }
            } else {
                Fail(t, t.type == Tok::Error ? t.text : "expected a template or a data object");
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
    bool Fail(const Token& at, const std::string& message) {
        error_ = at.type == Tok::End ? "at the end of the file: " + message
                                     : lexer_.Where(at.at) + ": " + message;
        return false;
    }
    // A token the grammar did not expect: the lexer's own complaint if it had
    // one, else what was wanted.
    bool Unexpected(const Token& t, const std::string& wanted) {
        if (t.type == Tok::Error) return Fail(t, t.text);
        if (t.type == Tok::End) return Fail(t, "the file ends where " + wanted + " should follow");
        return Fail(t, wanted + " expected");
    }

    bool ParseTemplate() {
        Token keyword = Take();
        Token name = Take();
        if (name.type != Tok::Name) return Unexpected(name, "the template's name");
        Token open = Take();
        if (open.type != Tok::OBrace) return Unexpected(open, "'{' after the template name " + XShownName(name.text));
        // Members and restrictions are read to the closing brace; the layout of
        // the standard templates is known, and other objects are skipped by
        // their structure.
        for (;;) {
            Token t = Take();
            if (t.type == Tok::CBrace) break;
            if (t.type == Tok::Error) return Fail(t, t.text);
            if (t.type == Tok::End || t.type == Tok::OBrace)
                return Fail(t.type == Tok::End ? keyword : t,
                            "template " + XShownName(name.text) + " is not closed before " +
                                (t.type == Tok::End ? std::string("the end of the file") : "a '{'"));
        }
        file_->templates.push_back(name.text);
        return true;
    }

    static std::string Describe(Tok type) {
        switch (type) {
            case Tok::Guid: return "GUID";
            case Tok::OParen: return "'('";
            case Tok::CParen: return "')'";
            case Tok::OBracket: return "'['";
            case Tok::CBracket: return "']'";
            case Tok::OAngle: return "'<'";
            case Tok::CAngle: return "'>'";
            case Tok::Dot: return "'.'";
            case Tok::Template: return "template";
            case Tok::TypeWord: return "type word";
            default: return "token";
        }
    }

    static std::string Label(const XObject& o) {
        return o.name.empty() ? XShownName(o.type) : XShownName(o.type) + " " + XShownName(o.name);
    }

    bool ParseObject(std::size_t depth, std::size_t* index) {
        Token first = Take();
        if (depth >= kXMaxNesting)
            return Fail(first, "objects nested more than " + std::to_string(kXMaxNesting) + " deep");
        XObject object;
        object.type = first.text;
        if (Peek(0).type == Tok::Name) object.name = Take().text;
        Token open = Take();
        if (open.type != Tok::OBrace) return Unexpected(open, "'{' to open " + Label(object));
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
                    std::string missing;
                    if (!ParseReference(&target, &missing)) return false;
                    if (!missing.empty()) {
                        object.unresolved.push_back(std::move(missing));
                        break;
                    }
                    children.push_back(target);
                    if (object.type == "Frame") file_->objects[target].placed = true;
                    break;
                }
                case Tok::End:
                    return Fail(first, Label(object) + " is not closed before the end of the file");
                case Tok::Error: return Fail(t, t.text);
                default: return Fail(t, "unexpected " + Describe(t.type) + " in " + Label(object));
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

    // A reference names an object defined before it, by name, GUID or both.
    // One that names nothing known yet leaves its name in *missing.
    bool ParseReference(std::size_t* target, std::string* missing) {
        Take();
        Token t = Take();
        std::string name, guid;
        if (t.type == Tok::Name) {
            name = t.text;
            if (Peek(0).type == Tok::Guid) guid = Take().text;
        } else if (t.type == Tok::Guid) {
            guid = t.text;
        } else {
            return Unexpected(t, "a name or GUID in the reference");
        }
        Token close = Take();
        if (close.type != Tok::CBrace) return Unexpected(close, "'}' to close the reference");
        auto byName = name.empty() ? byName_.end() : byName_.find(name);
        if (byName != byName_.end()) {
            *target = byName->second;
        } else if (auto byGuid = guid.empty() ? byGuid_.end() : byGuid_.find(guid); byGuid != byGuid_.end()) {
            *target = byGuid->second;
        } else {
            *missing = name.empty() ? guid : name;
            return true;
        }
        file_->objects[*target].referenced = true;
        return true;
    }

    Lexer& lexer_;
    XFile* file_;
    std::deque<Token> ahead_;
    std::unordered_map<std::string, std::size_t> byName_, byGuid_;
    std::string error_;
    std::string pendingMissing_, pendingWhere_;  // the first top-level reference to nothing known yet
};

}  // namespace

std::string XShownName(const std::string& name) {
    std::string s;
    for (char c : name) {
        if (s.size() >= 64) return s + "...";
        s += c >= ' ' && c <= '~' ? c : '?';
    }
    return s;
}

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
        bool unpacked = !inflated.empty();
        BinaryLexer lexer(body, bodySize, doubles, unpacked ? std::size_t(body - inflated.data()) : 16, unpacked);
        ok = Parser(lexer, file).Run(error);
    } else {
        *error = "unknown X file format";
        return false;
    }
    if (!ok) *file = XFile{};
    return ok;
}
