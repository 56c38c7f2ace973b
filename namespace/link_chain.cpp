#include "namespace/link_chain.h"

#include "namespace/name_lookup.h"
#include "namespace/visible_name.h"

LinkChain FollowLinkChain(std::wstring_view path, NamespaceReader& reader) {
    LinkChain chain;
    chain.paths.emplace_back(path);
    std::vector<std::wstring> passed;  // where each link passed lies
    for (;;) {
        ResolvedPath at = ResolvePath(chain.paths.back(), reader);
        chain.notes.push_back(at.fallback);
        if (!at.found || at.typeName != "SymbolicLink") {
            // The first path names a link the program could not find: that is no end.
            if (chain.paths.size() == 1) chain.end = LinkChain::End::Unreadable;
            chain.last = std::move(at);
            return chain;
        }
        const std::wstring place = at.Path();
        for (const std::wstring& link : passed) {
            if (SameNameIgnoringCase(link, place)) {
                chain.end = LinkChain::End::Loop;
                return chain;
            }
        }
        passed.push_back(place);
        if (static_cast<int>(passed.size()) > kMaxLinksFollowed) {
            chain.end = LinkChain::End::TooLong;
            return chain;
        }
        std::wstring target;
        if (!reader.ReadLink(place, target)) {
            chain.end = LinkChain::End::Unreadable;
            return chain;
        }
        chain.paths.push_back(std::move(target));
        // The namespace resolves a relative target, or one with an empty name, to nothing.
        if (!IsWellFormedPath(chain.paths.back())) {
            chain.end = LinkChain::End::Nothing;
            return chain;
        }
    }
}

std::string DescribeChain(const LinkChain& chain) {
    std::string text;
    for (std::size_t i = 0; i < chain.paths.size(); ++i) {
        text += (i == 0 ? "" : "\n  -> ") + VisiblePath(chain.paths[i]);
        if (i < chain.notes.size() && !chain.notes[i].empty()) text += "  (" + chain.notes[i] + ")";
    }
    return text;
}
