// glyph_cache.cpp -- glyph masks asked of the source once, and decoded texts kept.
#include "client/media/glyph_cache.h"

#include "platform/text_encoding.h"

namespace kestrane {

namespace {

// Enough for every name and chat line of a busy game; the table is emptied when it fills.
constexpr std::size_t kDecodedTextLimit = 1024;

}  // namespace

GlyphCache::GlyphCache(std::unique_ptr<GlyphSource> source) : source_(std::move(source)) {}

GlyphCache::~GlyphCache() = default;

void GlyphCache::setSource(std::unique_ptr<GlyphSource> source) {
    source_ = std::move(source);
    glyphs_.clear();
}

bool GlyphCache::available() { return source_ != nullptr && source_->available(); }

int GlyphCache::lineHeight() { return available() ? source_->lineHeight() : 0; }

const Glyph* GlyphCache::glyph(char32_t codePoint) {
    if (codePoint < 0x20 || codePoint == 0x7F || !available()) {
        return nullptr;
    }
    if (const auto found = glyphs_.find(codePoint); found != glyphs_.end()) {
        return &found->second;
    }
    Glyph cell = source_->render(codePoint);
    if (cell.width < 0 || cell.height < 0 ||
        cell.mask.size() != static_cast<std::size_t>(cell.width) * static_cast<std::size_t>(cell.height)) {
        cell = {};  // a source's mistake draws as an empty cell, never out of the mask
    }
    return &glyphs_.emplace(codePoint, std::move(cell)).first->second;
}

const std::u32string& GlyphCache::decodeCp949(std::string_view text) {
    std::string key(text);
    if (const auto found = decoded_.find(key); found != decoded_.end()) {
        return found->second;
    }
    if (decoded_.size() >= kDecodedTextLimit) {
        decoded_.clear();
    }
    return decoded_.emplace(std::move(key), decodeUtf8(cp949ToUtf8(text))).first->second;
}

std::u32string GlyphCache::decodeUtf8(std::string_view text) {
    std::u32string result;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) {
            result.push_back(U'?');
            ++i;
            continue;
        }
        char32_t codePoint = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (int k = 1; k < length; ++k) {
            codePoint = (codePoint << 6) | (static_cast<unsigned char>(text[k + i]) & 0x3F);
        }
        result.push_back(codePoint);
        i += static_cast<std::size_t>(length);
    }
    return result;
}

}  // namespace kestrane
