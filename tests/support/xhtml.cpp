// The strict XHTML reader of the tests.
#include "support/xhtml.h"

#include <cctype>
#include <cstdint>
#include <sstream>

namespace {

class Reader {
  public:
    explicit Reader(const std::string& page) : page_(page) {}

    std::unique_ptr<XNode> Read(std::string& error) {
        try {
            SkipSpace();
            Expect("<!DOCTYPE html>");
            std::unique_ptr<XNode> root;
            while (true) {
                SkipSpace();
                if (at_ >= page_.size()) break;
                if (Skip("<!--")) {
                    SkipPast("-->");
                    continue;
                }
                if (root) Fail("a second root element");
                root = Element(nullptr);
            }
            if (!root) Fail("no root element");
            return root;
        } catch (const std::string& why) {
            error = why;
            return nullptr;
        }
    }

  private:
    [[noreturn]] void Fail(const std::string& why) const {
        size_t line = 1;
        for (size_t i = 0; i < at_ && i < page_.size(); ++i) line += page_[i] == '\n';
        std::ostringstream message;
        message << "line " << line << ": " << why << " near \""
                << page_.substr(at_ < 20 ? 0 : at_ - 20, 60) << "\"";
        throw message.str();
    }

    bool Skip(const std::string& text) {
        if (page_.compare(at_, text.size(), text) != 0) return false;
        at_ += text.size();
        return true;
    }
    void Expect(const std::string& text) {
        if (!Skip(text)) Fail("expected \"" + text + "\"");
    }
    void SkipPast(const std::string& text) {
        size_t end = page_.find(text, at_);
        if (end == std::string::npos) Fail("no \"" + text + "\"");
        at_ = end + text.size();
    }
    void SkipSpace() {
        while (at_ < page_.size() && std::isspace(static_cast<unsigned char>(page_[at_]))) ++at_;
    }

    std::string Name() {
        size_t start = at_;
        while (at_ < page_.size() &&
               (std::isalnum(static_cast<unsigned char>(page_[at_])) || page_[at_] == '-' ||
                page_[at_] == '_' || page_[at_] == ':')) {
            ++at_;
        }
        if (at_ == start) Fail("expected a name");
        return page_.substr(start, at_ - start);
    }

    // Text up to `end`, its references read.
    std::string Decoded(size_t end) {
        std::string text;
        while (at_ < end) {
            char c = page_[at_];
            if (c == '<') Fail("a bare <");
            if (c != '&') {
                text += c;
                ++at_;
                continue;
            }
            size_t semicolon = page_.find(';', at_);
            if (semicolon == std::string::npos || semicolon > end) Fail("a bare &");
            std::string name = page_.substr(at_ + 1, semicolon - at_ - 1);
            static const std::map<std::string, std::string> kNamed = {
                {"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}};
            if (auto named = kNamed.find(name); named != kNamed.end()) {
                text += named->second;
            } else if (name.size() > 1 && name[0] == '#') {
                uint32_t code = name[1] == 'x' ? std::stoul(name.substr(2), nullptr, 16)
                                               : std::stoul(name.substr(1));
                AppendUtf8(text, code);
            } else {
                Fail("the entity &" + name + "; that XML does not define");
            }
            at_ = semicolon + 1;
        }
        return text;
    }

    static void AppendUtf8(std::string& text, uint32_t code) {
        if (code < 0x80) {
            text += static_cast<char>(code);
        } else if (code < 0x800) {
            text += static_cast<char>(0xC0 | (code >> 6));
            text += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            text += static_cast<char>(0xE0 | (code >> 12));
            text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            text += static_cast<char>(0xF0 | (code >> 18));
            text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    std::unique_ptr<XNode> Element(XNode* parent) {
        Expect("<");
        auto node = std::make_unique<XNode>();
        node->parent = parent;
        node->tag = Name();
        while (true) {
            bool spaced =
                at_ < page_.size() && std::isspace(static_cast<unsigned char>(page_[at_]));
            SkipSpace();
            if (Skip("/>")) return node;
            if (Skip(">")) break;
            if (!spaced) Fail("no space before an attribute");
            std::string name = Name();
            Expect("=");
            char quote = at_ < page_.size() ? page_[at_] : '\0';
            if (quote != '"' && quote != '\'') Fail("an attribute value without quotes");
            ++at_;
            size_t end = page_.find(quote, at_);
            if (end == std::string::npos) Fail("an attribute value left open");
            if (node->attributes.count(name) != 0) Fail("the attribute " + name + " twice");
            node->attributes[name] = Decoded(end);
            at_ = end + 1;
        }
        while (true) {
            if (at_ >= page_.size()) Fail("<" + node->tag + "> left open");
            if (Skip("</")) {
                std::string closing = Name();
                if (closing != node->tag) Fail("</" + closing + "> closes <" + node->tag + ">");
                SkipSpace();
                Expect(">");
                return node;
            }
            if (Skip("<!--")) {
                SkipPast("-->");
                continue;
            }
            if (page_[at_] == '<') {
                node->children.push_back(Element(node.get()));
                continue;
            }
            size_t end = page_.find('<', at_);
            if (end == std::string::npos) end = page_.size();
            auto text = std::make_unique<XNode>();
            text->parent = node.get();
            text->text = Decoded(end);
            node->children.push_back(std::move(text));
        }
    }

    const std::string& page_;
    size_t at_ = 0;
};

void Collect(const XNode& node, const std::function<bool(const XNode&)>& match,
             std::vector<const XNode*>& found) {
    if (!node.tag.empty() && match(node)) found.push_back(&node);
    for (const auto& child : node.children) Collect(*child, match, found);
}

}  // namespace

std::string XNode::Attribute(const std::string& name) const {
    auto value = attributes.find(name);
    return value == attributes.end() ? "" : value->second;
}

bool XNode::HasClass(const std::string& name) const {
    std::istringstream classes(Attribute("class"));
    for (std::string each; classes >> each;) {
        if (each == name) return true;
    }
    return false;
}

std::string XNode::Text() const {
    if (tag.empty()) return text;
    std::string all;
    for (const auto& child : children) all += child->Text();
    return all;
}

std::vector<const XNode*> XNode::All(const std::function<bool(const XNode&)>& match) const {
    std::vector<const XNode*> found;
    Collect(*this, match, found);
    return found;
}

std::vector<const XNode*> XNode::AllTagged(const std::string& name) const {
    return All([&](const XNode& node) { return node.tag == name; });
}

std::vector<const XNode*> XNode::AllOfClass(const std::string& name) const {
    return All([&](const XNode& node) { return node.HasClass(name); });
}

const XNode* XNode::ById(const std::string& id) const {
    std::vector<const XNode*> found =
        All([&](const XNode& node) { return node.Attribute("id") == id; });
    return found.empty() ? nullptr : found.front();
}

std::unique_ptr<XNode> ReadXhtml(const std::string& page, std::string& error) {
    return Reader(page).Read(error);
}
