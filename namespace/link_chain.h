// Following symbolic links to the end of their chain, through the path resolver.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "namespace/namespace_reader.h"
#include "namespace/path_resolver.h"

inline constexpr int kMaxLinksFollowed = 32;

struct LinkChain {
    enum class End {
        Target,      // the last path is no link: the chain ends there (or at nothing, where last is not found)
        Loop,        // the last path leads to a link the chain has passed already
        TooLong,     // more than kMaxLinksFollowed links
        Unreadable,  // a link that cannot be found, opened or read
        Nothing,     // the last target is no path the namespace resolves: relative, or with an empty name
    };
    std::vector<std::wstring> paths;  // the first link, then each target in turn, exactly as read
    std::vector<std::string> notes;   // beside each path resolved: where \GLOBAL?? answered for it, else empty
    End end = End::Target;
    ResolvedPath last;  // where the last path leads, for End::Target
};

// Follows the link at path and each link its target names. Each path is
// resolved as Go To resolves it (links inside it followed), and its last name
// read as a link where it is one.
LinkChain FollowLinkChain(std::wstring_view path, NamespaceReader& reader = LiveNamespace());

// The chain as lines: the first path, then "  -> target" for each hop, with
// the \GLOBAL?? notes beside the paths they belong to.
std::string DescribeChain(const LinkChain& chain);
