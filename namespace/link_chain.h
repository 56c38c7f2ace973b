// Following symbolic links to the end of their chain.
#pragma once

#include <string>
#include <vector>

inline constexpr int kMaxLinksFollowed = 32;

struct LinkChain {
    enum class End {
        Target,      // the last path is no link: the chain ends there
        Loop,        // the last path is a link the chain has passed already
        TooLong,     // more than kMaxLinksFollowed links
        Unreadable,  // a link that cannot be opened or read, or whose target ANSI cannot carry
        Nothing,     // the last target is no path the namespace resolves: relative, or with an empty name
    };
    std::vector<std::string> paths;  // the first link, then each target in turn, exactly as read
    End end = End::Target;
};

// Follows the link at path and each link its target names. Links inside a
// target's path are the object manager's to follow; only the whole target is
// tested for being a link itself. Targets are taken byte for byte.
LinkChain FollowLinkChain(const std::string& path);

enum class LinkRead { NotALink, Read, Unreadable };
// The target of the link at path. NotALink when nothing at path opens as a
// link; Unreadable when its target cannot be read, or not exactly in ANSI.
LinkRead ReadLinkTarget(const std::string& path, std::string& target);
