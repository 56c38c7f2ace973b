#include "namespace/link_chain.h"

#include <windows.h>

#include "namespace/directory_walk.h"
#include "namespace/name_lookup.h"
#include "namespace/object_opener.h"

LinkRead ReadLinkTarget(const std::string& path, std::string& target) {
    HANDLE handle = nullptr;
    if (OpenObjectByType(kTypeSymbolicLink, path.c_str(), 0, true, &handle) != kStatusSuccess)
        return LinkRead::NotALink;
    UniqueNtHandle link(handle);
    bool exact = false;
    // A target that ANSI cannot carry would lead the program somewhere else.
    if (ReadSymbolicLinkTarget(link.get(), target, &exact) != kStatusSuccess || !exact) return LinkRead::Unreadable;
    return LinkRead::Read;
}

LinkChain FollowLinkChain(const std::string& path) {
    LinkChain chain;
    chain.paths.push_back(path);
    for (;;) {
        std::string target;
        const LinkRead read = ReadLinkTarget(chain.paths.back(), target);
        if (read == LinkRead::NotALink) {
            // The first path names a link the program could not open: that is no end.
            if (chain.paths.size() == 1) chain.end = LinkChain::End::Unreadable;
            return chain;
        }
        if (read == LinkRead::Unreadable) {
            chain.end = LinkChain::End::Unreadable;
            return chain;
        }
        bool seen = false;
        for (const std::string& passed : chain.paths) seen = seen || SameNameIgnoringCase(passed, target);
        chain.paths.push_back(target);
        // The namespace resolves a relative target, or one with an empty name, to nothing.
        if (!IsWellFormedPath(target)) {
            chain.end = LinkChain::End::Nothing;
            return chain;
        }
        if (seen) {
            chain.end = LinkChain::End::Loop;
            return chain;
        }
        if (static_cast<int>(chain.paths.size()) - 1 > kMaxLinksFollowed) {
            chain.end = LinkChain::End::TooLong;
            return chain;
        }
    }
}
