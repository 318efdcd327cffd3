#include "exchange/sheet/XmlPull.h"

#include <cstring>

namespace sheet::detail {

namespace {
constexpr qsizetype kChunk = 256 * 1024;
constexpr qsizetype kMaxToken = 64LL << 20;  // no tag or text runs longer than this
constexpr qsizetype kMaxBlankRun = 1 << 20;   // blanks kept before a text

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isNameEnd(char c) { return isSpace(c) || c == '>' || c == '/' || c == '='; }

void appendUtf8(QByteArray& out, uint cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

}  // namespace

FastXml::FastXml(QIODevice* dev) : dev_(dev) { buf_.resize(kChunk); }

bool FastXml::fill() {
    if (eof_) return false;
    if (pos_ > 0) {
        memmove(buf_.data(), buf_.data() + pos_, size_t(end_ - pos_));
        end_ -= pos_;
        dropped_ += pos_;
        pos_ = 0;
    }
    if (end_ + kChunk > qsizetype(buf_.size())) {
        if (end_ > kMaxToken) {
            error_ = QStringLiteral("a single tag or text is longer than %1 bytes").arg(kMaxToken);
            eof_ = true;
            return false;
        }
        buf_.resize(size_t(end_ + kChunk));
    }
    const qint64 n = dev_->read(buf_.data() + end_, kChunk);
    if (n <= 0) {
        eof_ = true;
        if (n < 0) error_ = QStringLiteral("the part cannot be read to its end");
        return false;
    }
    end_ += n;
    return true;
}

XmlTok FastXml::fail(const QString& why, bool unsupported) {
    if (error_.isEmpty()) error_ = why;
    unsupported_ = unsupported_ || unsupported;
    pendingEnd_ = false;
    eof_ = true;
    pos_ = end_;
    stack_.clear();
    return XmlTok::Failed;
}

qsizetype FastXml::find(char c, qsizetype rel) {
    for (;;) {
        if (pos_ + rel < end_) {
            const void* p = memchr(buf_.data() + pos_ + rel, c, size_t(end_ - pos_ - rel));
            if (p) return static_cast<const char*>(p) - (buf_.data() + pos_);
            rel = end_ - pos_;
        }
        if (!fill()) return -1;
    }
}

qsizetype FastXml::findSeq(const char* seq, qsizetype rel) {
    const qsizetype len = qsizetype(strlen(seq));
    for (;;) {
        const qsizetype at = find(seq[0], rel);
        if (at < 0) return -1;
        while (pos_ + at + len > end_)
            if (!fill()) return -1;
        if (memcmp(buf_.data() + pos_ + at, seq, size_t(len)) == 0) return at;
        rel = at + 1;
    }
}

bool FastXml::decode(const char* from, const char* to, QString* out, bool attribute) {
    // As XML has it: a line ends in "\n" however the file ends it, and in an
    // attribute value every blank written as such is a space (a character
    // reference keeps the character it names).
    const bool plain = !memchr(from, '&', size_t(to - from)) && !memchr(from, '\r', size_t(to - from)) &&
                       (!attribute || (!memchr(from, '\n', size_t(to - from)) && !memchr(from, '\t', size_t(to - from))));
    if (plain) return utf8(from, to - from, out);
    QByteArray b;
    b.reserve(to - from);
    for (const char* p = from; p < to;) {
        if (*p == '\r') {
            b += attribute ? ' ' : '\n';
            p += (p + 1 < to && p[1] == '\n') ? 2 : 1;
            continue;
        }
        if (attribute && (*p == '\n' || *p == '\t')) {
            b += ' ';
            ++p;
            continue;
        }
        if (*p != '&') {
            b += *p++;
            continue;
        }
        const char* semi = static_cast<const char*>(memchr(p, ';', size_t(to - p)));
        if (!semi || semi - p > 12) {
            fail(QStringLiteral("an '&' that starts no entity"), true);
            return false;
        }
        const QByteArrayView ent(p + 1, semi - p - 1);
        if (ent == "lt") b += '<';
        else if (ent == "gt") b += '>';
        else if (ent == "amp") b += '&';
        else if (ent == "quot") b += '"';
        else if (ent == "apos") b += '\'';
        else if (ent.startsWith("#")) {
            bool ok = false;
            const uint cp = ent.startsWith("#x") ? QByteArray(ent.sliced(2).data(), ent.size() - 2).toUInt(&ok, 16)
                                                  : QByteArray(ent.sliced(1).data(), ent.size() - 1).toUInt(&ok, 10);
            if (!ok || cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
                fail(QStringLiteral("a character reference to no character"));
                return false;
            }
            appendUtf8(b, cp);
        } else {
            fail(QStringLiteral("an entity this reader does not know"), true);
            return false;
        }
        p = semi + 1;
    }
    return utf8(b.constData(), b.size(), out);
}

bool FastXml::utf8(const char* from, qsizetype n, QString* out) {
    *out = QString::fromUtf8(from, n);
    if (!out->contains(QChar::ReplacementCharacter)) return true;
    // U+FFFD written in the file is a character like any other; one put in
    // for bytes that are not UTF-8 is not, and the general reader says so.
    if (out->count(QChar::ReplacementCharacter) == QByteArrayView(from, n).count("\xEF\xBF\xBD")) return true;
    fail(QStringLiteral("bytes that are not UTF-8"), true);
    return false;
}

XmlTok FastXml::next() {
    if (pendingEnd_) {
        pendingEnd_ = false;
        return XmlTok::End;
    }
    for (;;) {
        if (pos_ >= end_ && !fill()) {
            if (!error_.isEmpty()) return fail(error_);
            if (!stack_.empty() || !seenRoot_) return fail(QStringLiteral("the part ends too early"));
            return XmlTok::Done;
        }
        if (!started_) {
            started_ = true;
            while (end_ - pos_ < 4 && fill()) {
            }
            const auto* u = reinterpret_cast<const unsigned char*>(buf_.data() + pos_);
            const qsizetype n = end_ - pos_;
            if (n >= 2 && ((u[0] == 0xFF && u[1] == 0xFE) || (u[0] == 0xFE && u[1] == 0xFF)))
                return fail(QStringLiteral("the part is not UTF-8"), true);
            if (n >= 3 && u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF) pos_ += 3;
            continue;
        }
        if (buf_[size_t(pos_)] != '<') {
            // Blanks between elements can run to any length (a zip bomb of
            // spaces): past a megabyte they are dropped as they come rather
            // than gathered. Fewer are kept whole, as the start of a text
            // may be blanks that only end in the next piece read.
            qsizetype lt = -1;
            bool dropped = false;
            for (;;) {
                const void* p = memchr(buf_.data() + pos_, '<', size_t(end_ - pos_));
                if (p) {
                    lt = static_cast<const char*>(p) - (buf_.data() + pos_);
                    break;
                }
                bool blank = true;
                for (qsizetype i = pos_; i < end_ && blank; ++i) blank = isSpace(buf_[size_t(i)]);
                if (!blank) {
                    lt = find('<', end_ - pos_);
                    break;
                }
                if (end_ - pos_ >= kMaxBlankRun) {
                    pos_ = end_;
                    dropped = true;
                }
                if (!fill()) break;
            }
            if (dropped && lt > 0) {
                // Text after blanks that were not kept: refused rather than read without them.
                for (qsizetype i = pos_; i < pos_ + lt; ++i)
                    if (!isSpace(buf_[size_t(i)])) return fail(QStringLiteral("a text that begins with more than a megabyte of blanks"));
            }
            if (lt < 0) {
                if (!error_.isEmpty()) return fail(error_);
                // Trailing blanks after the root are fine; anything else is not.
                for (qsizetype i = pos_; i < end_; ++i)
                    if (!isSpace(buf_[size_t(i)])) return fail(QStringLiteral("text after the end of the document"));
                pos_ = end_;
                continue;
            }
            const char* from = buf_.data() + pos_;
            pos_ += lt;
            if (stack_.empty()) {
                // Only blanks may stand outside the root element.
                for (const char* q = from; q < from + lt; ++q)
                    if (!isSpace(*q)) return fail(QStringLiteral("text outside the document"));
                continue;
            }
            if (!decode(from, from + lt, &text_)) return XmlTok::Failed;
            return XmlTok::Text;
        }
        const XmlTok t = markup();
        if (t == XmlTok::Done) continue;  // a comment or processing instruction
        return t;
    }
}

qint64 FastXml::skipToTag(qint64 from, const char* name) {
    const qsizetype len = qsizetype(strlen(name));
    pendingEnd_ = false;
    for (;;) {
        // Bytes before from are dropped as they come, never gathered.
        const qint64 skip = from - (dropped_ + pos_);
        if (skip > 0) {
            if (skip >= end_ - pos_) {
                pos_ = end_;
                if (!fill()) return -1;
                continue;
            }
            pos_ += qsizetype(skip);
        }
        const void* lt = memchr(buf_.data() + pos_, '<', size_t(end_ - pos_));
        if (!lt) {
            pos_ = end_;
            if (!fill()) return -1;
            continue;
        }
        pos_ = static_cast<const char*>(lt) - buf_.data();
        while (end_ - pos_ < len + 2)
            if (!fill()) return -1;
        const char* p = buf_.data() + pos_;
        if (memcmp(p + 1, name, size_t(len)) == 0 && isNameEnd(p[len + 1])) return dropped_ + pos_;
        from = dropped_ + pos_ + 1;
    }
}

XmlTok FastXml::markup() {
    tagStart_ = dropped_ + pos_;
    while (end_ - pos_ < 9 && fill()) {
    }
    const char* p = buf_.data() + pos_;
    const qsizetype avail = end_ - pos_;
    if (avail >= 2 && p[1] == '?') {
        const qsizetype e = findSeq("?>", 2);
        if (e < 0) return fail(QStringLiteral("a processing instruction does not end"));
        const QByteArrayView pi(buf_.data() + pos_, e);
        if (pi.startsWith("<?xml ")) {
            const qsizetype enc = pi.indexOf("encoding");
            if (enc >= 0) {
                const QByteArray rest = pi.sliced(enc + 8).toByteArray().toLower();
                if (!rest.contains("utf-8") && !rest.contains("utf8"))
                    return fail(QStringLiteral("the part is not UTF-8"), true);
            }
        }
        pos_ += e + 2;
        return XmlTok::Done;
    }
    if (avail >= 4 && memcmp(p, "<!--", 4) == 0) {
        const qsizetype e = findSeq("-->", 4);
        if (e < 0) return fail(QStringLiteral("a comment does not end"));
        pos_ += e + 3;
        return XmlTok::Done;
    }
    if (avail >= 9 && memcmp(p, "<![CDATA[", 9) == 0) {
        const qsizetype e = findSeq("]]>", 9);
        if (e < 0) return fail(QStringLiteral("a CDATA section does not end"));
        if (stack_.empty()) return fail(QStringLiteral("text outside the document"));
        const char* from = buf_.data() + pos_ + 9;
        if (memchr(from, '\r', size_t(e - 9))) {
            QByteArray b(from, e - 9);
            b.replace("\r\n", "\n");
            b.replace('\r', '\n');
            if (!utf8(b.constData(), b.size(), &text_)) return XmlTok::Failed;
        } else if (!utf8(from, e - 9, &text_)) {
            return XmlTok::Failed;
        }
        pos_ += e + 3;
        return XmlTok::Text;
    }
    if (avail >= 2 && p[1] == '!') return fail(QStringLiteral("a document type declaration"), true);
    if (avail >= 2 && p[1] == '/') {
        const qsizetype e = find('>', 2);
        if (e < 0) return fail(QStringLiteral("an end tag does not close"));
        const char* n = buf_.data() + pos_ + 2;
        qsizetype len = e - 2;
        while (len > 0 && isSpace(n[len - 1])) --len;
        if (stack_.empty() || qsizetype(stack_.back().size()) != len || memcmp(stack_.back().data(), n, size_t(len)) != 0)
            return fail(QStringLiteral("an end tag does not match its start tag"));
        name_.assign(n, size_t(len));
        local_ = name_.rfind(':') == std::string::npos ? 0 : name_.rfind(':') + 1;
        stack_.pop_back();
        pos_ += e + 1;
        return XmlTok::End;
    }
    // A start tag: name, then attributes with quoted values (which may hold '>').
    if (stack_.empty() && seenRoot_) return fail(QStringLiteral("a second root element"));
    // Most tags hold no '>' inside their values: with the whole tag in the
    // buffer up to the first '>', it is read without asking for more bytes
    // at every character. A value holding '>' takes the careful way below.
    qsizetype i = 1;
    qsizetype nameEnd = 0;
    bool selfClosing = false;
    attrs_.clear();
    bool fast = false;
    {
        const qsizetype gt = find('>', 1);
        if (gt < 0) return fail(QStringLiteral("a tag does not close"));
        const char* b = buf_.data() + pos_;
        qsizetype k = 1;
        while (k < gt && !isNameEnd(b[k])) ++k;
        nameEnd = k;
        fast = k > 1;
        while (fast) {
            while (k < gt && isSpace(b[k])) ++k;
            if (k == gt) {
                i = gt + 1;
                break;
            }
            if (b[k] == '/') {
                if (k + 1 != gt) fast = false;
                selfClosing = true;
                i = gt + 1;
                break;
            }
            const qsizetype an = k;
            while (k < gt && !isNameEnd(b[k])) ++k;
            const qsizetype anLen = k - an;
            while (k < gt && isSpace(b[k])) ++k;
            if (anLen == 0 || k >= gt || b[k] != '=') {
                fast = false;
                break;
            }
            ++k;
            while (k < gt && isSpace(b[k])) ++k;
            if (k >= gt || (b[k] != '"' && b[k] != '\'')) {
                fast = false;
                break;
            }
            const void* close = memchr(b + k + 1, b[k], size_t(gt - k - 1));
            if (!close) {
                fast = false;  // the value runs past this '>'
                break;
            }
            const qsizetype c = static_cast<const char*>(close) - b;
            attrs_.push_back({an, anLen, k + 1, c - k - 1});
            k = c + 1;
            if (attrs_.size() > 256) return fail(QStringLiteral("a tag with too many attributes"));
        }
        if (!fast) {
            attrs_.clear();
            selfClosing = false;
            i = 1;
        }
    }
    if (!fast) {
        auto at = [&](qsizetype rel) -> int {
            while (pos_ + rel >= end_)
                if (!fill()) return -1;
            return static_cast<unsigned char>(buf_[size_t(pos_ + rel)]);
        };
        while (at(i) >= 0 && !isNameEnd(char(at(i)))) ++i;
        if (at(i) < 0 || i == 1) return fail(QStringLiteral("a tag without a name"));
        nameEnd = i;
        for (;;) {
            while (at(i) >= 0 && isSpace(char(at(i)))) ++i;
            const int c = at(i);
            if (c < 0) return fail(QStringLiteral("a tag does not close"));
            if (c == '>') {
                ++i;
                break;
            }
            if (c == '/') {
                if (at(i + 1) != '>') return fail(QStringLiteral("a malformed tag"));
                selfClosing = true;
                i += 2;
                break;
            }
            const qsizetype an = i;
            while (at(i) >= 0 && !isNameEnd(char(at(i)))) ++i;
            const qsizetype anLen = i - an;
            while (at(i) >= 0 && isSpace(char(at(i)))) ++i;
            if (anLen == 0 || at(i) != '=') return fail(QStringLiteral("an attribute without a value"));
            ++i;
            while (at(i) >= 0 && isSpace(char(at(i)))) ++i;
            const int q = at(i);
            if (q != '"' && q != '\'') return fail(QStringLiteral("an attribute value without quotes"));
            const qsizetype close = find(char(q), i + 1);
            if (close < 0) return fail(QStringLiteral("an attribute value does not end"));
            attrs_.push_back({an, anLen, i + 1, close - i - 1});
            i = close + 1;
            if (attrs_.size() > 256) return fail(QStringLiteral("a tag with too many attributes"));
        }
    }
    // No more reading for this tag: positions relative to pos_ become absolute.
    // A name holding markup ("<c <<r=...") is a broken tag, not a name.
    auto badName = [](const char* n, qsizetype len) {
        for (qsizetype k = 0; k < len; ++k)
            if (n[k] == '<' || n[k] == '&' || n[k] == '"' || n[k] == '\'') return true;
        return false;
    };
    if (badName(buf_.data() + pos_ + 1, nameEnd - 1)) return fail(QStringLiteral("a malformed tag"));
    for (const Attr& a : attrs_)
        if (badName(buf_.data() + pos_ + a.name, a.nameLen)) return fail(QStringLiteral("a malformed tag"));
    name_.assign(buf_.data() + pos_ + 1, size_t(nameEnd - 1));
    local_ = name_.rfind(':') == std::string::npos ? 0 : name_.rfind(':') + 1;
    for (Attr& a : attrs_) {
        a.name += pos_;
        a.value += pos_;
        // Keep only the local part of the attribute's name.
        const char* an = buf_.data() + a.name;
        for (qsizetype k = a.nameLen - 1; k >= 0; --k)
            if (an[k] == ':') {
                a.name += k + 1;
                a.nameLen -= k + 1;
                break;
            }
    }
    pos_ += i;
    if (!selfClosing) {
        if (stack_.size() > 10000) return fail(QStringLiteral("elements nest too deeply"));
        stack_.push_back(name_);
    }
    seenRoot_ = true;
    pendingEnd_ = selfClosing;
    return XmlTok::Start;
}

bool FastXml::is(const char* local) const {
    const char* n = name_.c_str() + local_;
    return n[0] == local[0] && strcmp(n, local) == 0;
}

QByteArray FastXml::name() const {
    const size_t colon = name_.rfind(':');
    return QByteArray::fromStdString(colon == std::string::npos ? name_ : name_.substr(colon + 1));
}

bool FastXml::rawAttribute(const char* local, QByteArrayView* value) const {
    const size_t l = strlen(local);
    for (const Attr& a : attrs_) {
        if (size_t(a.nameLen) == l && memcmp(buf_.data() + a.name, local, l) == 0) {
            *value = QByteArrayView(buf_.data() + a.value, a.valueLen);
            return true;
        }
    }
    return false;
}

bool FastXml::attribute(const char* local, QString* value) const {
    QByteArrayView raw;
    if (!rawAttribute(local, &raw)) return false;
    return const_cast<FastXml*>(this)->decode(raw.data(), raw.data() + raw.size(), value, true);
}

bool FastXml::readText(QString* out) {
    out->clear();
    if (pendingEnd_) {
        pendingEnd_ = false;
        return true;
    }
    int depth = 1;
    for (;;) {
        switch (next()) {
        case XmlTok::Start: ++depth; break;
        case XmlTok::End:
            if (--depth == 0) return true;
            break;
        case XmlTok::Text:
            // Mostly one piece of text: share it rather than copy it.
            if (out->isEmpty()) *out = text_;
            else *out += text_;
            break;
        default: return false;
        }
    }
}

bool FastXml::skip() {
    if (pendingEnd_) {
        pendingEnd_ = false;
        return true;
    }
    int depth = 1;
    for (;;) {
        switch (next()) {
        case XmlTok::Start: ++depth; break;
        case XmlTok::End:
            if (--depth == 0) return true;
            break;
        case XmlTok::Text: break;
        default: return false;
        }
    }
}

// ---- QXmlStreamReader ------------------------------------------------------------

XmlTok QtXml::next() {
    for (;;) {
        switch (x_.readNext()) {
        case QXmlStreamReader::StartElement: return XmlTok::Start;
        case QXmlStreamReader::EndElement: return XmlTok::End;
        case QXmlStreamReader::Characters:
            text_ = x_.text().toString();
            return XmlTok::Text;
        case QXmlStreamReader::EndDocument: return XmlTok::Done;
        case QXmlStreamReader::Invalid: return XmlTok::Failed;
        default: break;
        }
    }
}

bool QtXml::is(const char* local) const { return x_.name() == QLatin1String(local); }

bool QtXml::attribute(const char* local, QString* value) const {
    for (const QXmlStreamAttribute& a : x_.attributes())
        if (a.name() == QLatin1String(local)) {
            *value = a.value().toString();
            return true;
        }
    return false;
}

bool QtXml::rawAttribute(const char* local, QByteArrayView* value) const {
    QString s;
    if (!attribute(local, &s)) return false;
    QByteArray& slot = slots_[slot_];
    slot_ = (slot_ + 1) % 4;
    slot = s.toUtf8();
    *value = slot;
    return true;
}

bool QtXml::readText(QString* out) {
    *out = x_.readElementText(QXmlStreamReader::IncludeChildElements);
    return !x_.hasError();
}

bool QtXml::skip() {
    x_.skipCurrentElement();
    return !x_.hasError();
}

}  // namespace sheet::detail
