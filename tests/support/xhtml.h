// A strict reader of the HTML pages Zembra writes, which are well-formed XML as well: it
// fails on an element left open or closed out of turn, an attribute without quotes, a bare
// "&" or "<", and an entity XML does not define. The tests read the pages' structure with
// it: ids, classes, links, the text of an element.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct XNode {
    std::string tag;  // empty for text
    std::map<std::string, std::string> attributes;
    std::string text;  // of a text node, its entities read
    std::vector<std::unique_ptr<XNode>> children;
    XNode* parent = nullptr;

    // The attribute's value, empty when it has none.
    std::string Attribute(const std::string& name) const;
    bool HasClass(const std::string& name) const;
    // All the text inside, in document order.
    std::string Text() const;
    // Every element inside (this one included) that `match` accepts, in document order.
    std::vector<const XNode*> All(const std::function<bool(const XNode&)>& match) const;
    std::vector<const XNode*> AllTagged(const std::string& tag) const;
    std::vector<const XNode*> AllOfClass(const std::string& name) const;
    const XNode* ById(const std::string& id) const;  // nullptr when there is none
};

// The document's root element (<html>), after its doctype; nullptr, with `error` saying
// where and why, when the page is not well-formed.
std::unique_ptr<XNode> ReadXhtml(const std::string& page, std::string& error);
