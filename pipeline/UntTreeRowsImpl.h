// The members of TTreeRowsOf; included where the template is instantiated.
#pragma once

#include "pipeline/UntTreeRows.h"

#include <algorithm>

template <class Tree> TTreeRowsOf<Tree>::TTreeRowsOf(Tree& tree) : tree_(tree)
{
    rebuild();
    tree_.setObserver(this);
}

template <class Tree> TTreeRowsOf<Tree>::~TTreeRowsOf()
{
    tree_.setObserver(nullptr);
}

template <class Tree> typename TTreeRowsOf<Tree>::TState& TTreeRowsOf<Tree>::st(TNodeId s)
{
    if (s >= state_.size()) {
        state_.resize(s + 1 + s / 2);
        sums_.resize(state_.size());
    }
    return state_[s];
}

template <class Tree> bool TTreeRowsOf<Tree>::open(TNodeId s) const
{
    if (s == 0)
        return true;
    return isFinding() ? !(st(s).flags & kFindClosed) : (st(s).flags & kOpen) != 0;
}

template <class Tree> bool TTreeRowsOf<Tree>::childrenShown(TNodeId p) const
{
    for (TNodeId at = p; at != 0; at = parentSlot(at))
        if (!included(at) || !open(at))
            return false;
    return true;
}

template <class Tree> std::uint32_t TTreeRowsOf<Tree>::positionOf(TNodeId s) const
{
    std::uint32_t row = 0;
    for (TNodeId at = s; at != 0;) {
        const TNodeId p = parentSlot(at);
        row += sums_[p].prefix(indexIn(at));
        if (p != 0)
            ++row;
        at = p;
    }
    return row;
}

template <class Tree> bool TTreeRowsOf<Tree>::isLinked(TNodeId s) const
{
    if (s == 0 || s >= state_.size())
        return false;
    const TNodeId p = parentSlot(s);
    const std::size_t k = indexIn(s);
    return p < sums_.size() && k < sums_[p].size() && childSlot(p, k) == s;
}

template <class Tree> TNodeId TTreeRowsOf<Tree>::nodeAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return kNoNode;
    TNodeId p = 0;
    auto rest = static_cast<std::uint32_t>(row);
    for (;;) {
        const auto [k, offset] = sums_[p].locate(rest);
        const TNodeId c = childSlot(p, k);
        if (offset == 0)
            return c;
        rest = offset - 1;
        p = c;
    }
}

template <class Tree> int TTreeRowsOf<Tree>::rowOf(TNodeId id) const
{
    const TNodeId s = slot(id);
    if (s == 0 || s >= state_.size() || !included(s) || !childrenShown(parentSlot(s)))
        return -1;
    return static_cast<int>(positionOf(s));
}

template <class Tree> int TTreeRowsOf<Tree>::depthOf(TNodeId id) const
{
    int depth = 0;
    for (TNodeId at = parentSlot(slot(id)); at != 0; at = parentSlot(at))
        ++depth;
    return depth;
}

template <class Tree> bool TTreeRowsOf<Tree>::hasChildRows(TNodeId id) const
{
    const TNodeId s = slot(id);
    return isFinding() ? st(s).incChildren > 0 : childCountOf(s) > 0;
}

template <class Tree> void TTreeRowsOf<Tree>::propagate(TNodeId parent, std::int64_t delta)
{
    for (TNodeId at = parent; at != 0 && delta != 0;) {
        if (!included(at) || !open(at))
            return;
        TState& s = st(at);
        s.size = static_cast<std::uint32_t>(static_cast<std::int64_t>(s.size) + delta);
        const TNodeId up = parentSlot(at);
        sums_[up].add(indexIn(at), delta);
        at = up;
    }
}

template <class Tree> void TTreeRowsOf<Tree>::includeBlock(TNodeId s)
{
    // s and the ancestors that were left out only for want of an included child: their rows are
    // one block, at the position of the topmost.
    auto& chain = includeChain_;
    chain.clear();
    std::uint32_t size = 1 + (open(s) ? sums_[s].total() : 0);
    chain.emplace_back(s, size);
    for (TNodeId p = parentSlot(s); p != 0 && !included(p); p = parentSlot(p)) {
        size = 1 + (open(p) ? size : 0); // its other children are all left out
        chain.emplace_back(p, size);
    }
    const TNodeId top = chain.back().first;
    const TNodeId above = parentSlot(top);
    const bool announce = !silent_ && observer_ && childrenShown(above);
    if (announce)
        observer_->beginInsertRows(static_cast<int>(positionOf(top)), static_cast<int>(size));
    for (const auto& [x, count] : chain) {
        TState& sx = st(x);
        sx.size = count;
        sx.flags |= kIncluded;
        const TNodeId px = parentSlot(x);
        sums_[px].add(indexIn(x), count);
        ++st(px).incChildren;
    }
    propagate(above, size);
    if (announce)
        observer_->endInsertRows();
}

template <class Tree> void TTreeRowsOf<Tree>::excludeBlock(TNodeId s)
{
    auto& chain = excludeChain_;
    chain.assign(1, s);
    if (isFinding())
        for (TNodeId p = parentSlot(s); p != 0 && !(st(p).flags & kMatch) && st(p).incChildren == 1; p = parentSlot(p))
            chain.push_back(p);
    const TNodeId top = chain.back();
    const TNodeId above = parentSlot(top);
    const std::uint32_t old = st(top).size;
    const bool announce = !silent_ && observer_ && old > 0 && childrenShown(above);
    if (announce)
        observer_->beginRemoveRows(static_cast<int>(positionOf(top)), static_cast<int>(old));
    for (const TNodeId x : chain) {
        TState& sx = st(x);
        const TNodeId px = parentSlot(x);
        sums_[px].add(indexIn(x), -static_cast<std::int64_t>(sx.size));
        sx.size = 0;
        sx.flags &= static_cast<std::uint8_t>(~kIncluded);
        --st(px).incChildren;
    }
    propagate(above, -static_cast<std::int64_t>(old));
    if (announce)
        observer_->endRemoveRows();
}

template <class Tree> void TTreeRowsOf<Tree>::beginInsertNodes(TNodeId parent, int firstRow, int count)
{
    insertParent_ = slot(parent);
    insertFirst_ = firstRow;
    insertCount_ = count;
}

template <class Tree> void TTreeRowsOf<Tree>::endInsertNodes()
{
    const TNodeId p = insertParent_;
    for (int k = insertFirst_; k < insertFirst_ + insertCount_; ++k) {
        const TNodeId c = childSlot(p, static_cast<std::size_t>(k));
        TState& sc = st(c);
        sc = TState{};
        sc.flags = openNew_ ? kOpen : 0;
        sumEntries_ -= sums_[c].size();
        sums_[c].clear();
        sums_[p].append(0);
        ++sumEntries_;
        if (!isFinding())
            includeBlock(c);
        else if (judged(p))
            judge(c);
    }
}

template <class Tree> void TTreeRowsOf<Tree>::beginRemoveNodes(TNodeId parent, int, int)
{
    tailOf_ = kNoTail; // the ids of removed nodes come back for new ones
    removeChildren(slot(parent));
}

template <class Tree> void TTreeRowsOf<Tree>::removeChildren(TNodeId p)
{
    if (isFinding() && p != 0 && included(p) && !(st(p).flags & kMatch) && st(p).incChildren > 0) {
        // Included only for its children: it goes with them, and maybe ancestors with it.
        excludeBlock(p);
        clearBelow(p);
        return;
    }
    const std::uint32_t total = sums_[p].total();
    const bool announce = !silent_ && observer_ && total > 0 && childrenShown(p);
    if (announce)
        observer_->beginRemoveRows(p == 0 ? 0 : static_cast<int>(positionOf(p)) + 1, static_cast<int>(total));
    clearBelow(p);
    propagate(p, -static_cast<std::int64_t>(total));
    if (announce)
        observer_->endRemoveRows();
}

template <class Tree> void TTreeRowsOf<Tree>::clearBelow(TNodeId p)
{
    std::vector<TNodeId> pending;
    for (std::size_t k = 0; k < childCountOf(p); ++k)
        pending.push_back(childSlot(p, k));
    while (!pending.empty()) {
        const TNodeId x = pending.back();
        pending.pop_back();
        for (std::size_t k = 0; k < childCountOf(x); ++k)
            pending.push_back(childSlot(x, k));
        st(x) = TState{};
        sumEntries_ -= sums_[x].size();
        sums_[x].clear();
    }
    sumEntries_ -= sums_[p].size();
    sums_[p].clear();
    st(p).incChildren = 0;
}

template <class Tree> void TTreeRowsOf<Tree>::nodeChanged(TNodeId id)
{
    tailOf_ = kNoTail; // the text may be part of the end of a path
    const TNodeId s = slot(id);
    if (isFinding() && judged(s)) {
        const std::uint32_t hits = hitsOf(s);
        if (hits != st(s).hits || childCountOf(s) > 0) {
            // The path of every node below changed too, and a word may run from this text into
            // a child's: take the branch out, judge it again, put back what matches.
            if (included(s))
                excludeBlock(s);
            st(s).hits = hits;
            rejudgeBelow(s);
            if ((st(s).flags & kMatch) || st(s).incChildren > 0)
                includeBlock(s);
            return;
        }
    }
    if (observer_) {
        const int row = rowOf(id);
        if (row >= 0)
            observer_->rowChanged(row);
    }
}

template <class Tree> void TTreeRowsOf<Tree>::beginReset()
{
    if (observer_)
        observer_->beginReset();
}

template <class Tree> void TTreeRowsOf<Tree>::endReset()
{
    std::vector<TState>().swap(state_);
    std::vector<TPrefixSums>().swap(sums_);
    sumEntries_ = 0;
    rebuild();
    if (observer_)
        observer_->endReset();
}

template <class Tree> void TTreeRowsOf<Tree>::setOpen(TNodeId id, bool value)
{
    const TNodeId s = slot(id);
    if (s == 0 || open(s) == value)
        return;
    const std::uint32_t total = sums_[s].total();
    const bool inc = included(s);
    const bool announce = !silent_ && observer_ && inc && total > 0 && childrenShown(parentSlot(s));
    const int first = announce ? static_cast<int>(positionOf(s)) + 1 : 0;
    if (announce) {
        if (value)
            observer_->beginInsertRows(first, static_cast<int>(total));
        else
            observer_->beginRemoveRows(first, static_cast<int>(total));
    }
    TState& ss = st(s);
    if (isFinding())
        ss.flags = value ? (ss.flags & ~kFindClosed) : (ss.flags | kFindClosed);
    else
        ss.flags = value ? (ss.flags | kOpen) : (ss.flags & ~kOpen);
    if (inc) {
        const std::int64_t delta = value ? total : -static_cast<std::int64_t>(total);
        ss.size = static_cast<std::uint32_t>(static_cast<std::int64_t>(ss.size) + delta);
        const TNodeId p = parentSlot(s);
        sums_[p].add(indexIn(s), delta);
        propagate(p, delta);
    }
    if (announce) {
        if (value)
            observer_->endInsertRows();
        else
            observer_->endRemoveRows();
    }
    if (observer_) {
        const int row = rowOf(id);
        if (row >= 0)
            observer_->rowChanged(row);
    }
}

template <class Tree> void TTreeRowsOf<Tree>::setFindWords(TFindWords words)
{
    if (words == words_)
        return;
    if (observer_)
        observer_->beginReset();
    words_ = std::move(words);
    rebuild();
    if (observer_)
        observer_->endReset();
}

template <class Tree> void TTreeRowsOf<Tree>::rebuild()
{
    tailOf_ = kNoTail;
    frontier_.clear();
    st(0) = TState{};
    // Post-order over the live nodes: each node's count from its children's.
    std::vector<std::pair<TNodeId, std::size_t>> stack{{0, 0}};
    std::vector<std::uint32_t> counts;
    while (!stack.empty()) {
        auto& [x, next] = stack.back();
        if (next < childCountOf(x)) {
            const TNodeId c = childSlot(x, next++);
            stack.emplace_back(c, 0);
            continue;
        }
        const TNodeId done = x;
        stack.pop_back();
        const std::size_t n = childCountOf(done);
        TState& s = st(done);
        sumEntries_ -= sums_[done].size();
        sumEntries_ += n;
        if (isFinding()) {
            // Every node waits for the scan; the user's open flags are kept for later.
            s.flags &= kOpen;
            s.size = 0;
            s.hits = 0;
            s.incChildren = 0;
            sums_[done].assignZeros(n);
            continue;
        }
        counts.clear();
        for (std::size_t k = 0; k < n; ++k)
            counts.push_back(st(childSlot(done, k)).size);
        sums_[done].assign(counts);
        s.flags = static_cast<std::uint8_t>((s.flags & kOpen) | kIncluded);
        s.incChildren = static_cast<std::uint32_t>(n);
        s.hits = 0;
        s.size = done == 0 ? 0 : 1 + (open(done) ? sums_[done].total() : 0);
    }
    if (isFinding())
        for (std::size_t k = childCountOf(0); k > 0; --k)
            frontier_.push_back(childSlot(0, k - 1));
}

template <class Tree> std::uint32_t TTreeRowsOf<Tree>::hitsOf(TNodeId s)
{
    const TNodeId p = parentSlot(s);
    const std::uint32_t above = st(p).hits;
    if (above == words_.all())
        return above;
    // A word not in the parent's path ends in the separator before this node's text or in the
    // text, so it starts at most longest - 1 characters before that separator. Siblings come one
    // after another: the end of their parent's path is made once for all of them.
    if (p != tailOf_)
        makeTail(p);
    window_ = tail_;
    window_ += tree_.getText(outside(s));
    return words_.hitsIn(window_, above);
}

template <class Tree> void TTreeRowsOf<Tree>::makeTail(TNodeId p)
{
    const char sep = pathSeparator(tree_.getPathStyle());
    const std::size_t keep = words_.longest();
    tailOf_ = p;
    tail_.clear();
    if (p != 0) {
        pieces_.clear();
        std::size_t have = 0;
        for (TNodeId at = p; at != 0 && have < keep; at = parentSlot(at)) {
            const std::string& text = tree_.getText(outside(at));
            pieces_.push_back(&text);
            have += text.size() + (!text.empty() && text.back() == sep ? 0 : 1);
        }
        for (auto it = pieces_.rbegin(); it != pieces_.rend(); ++it) {
            tail_ += **it;
            if (tail_.empty() || tail_.back() != sep)
                tail_ += sep;
        }
        if (tail_.size() > keep)
            tail_.erase(0, tail_.size() - keep);
    }
}

template <class Tree> void TTreeRowsOf<Tree>::judge(TNodeId s)
{
    TState& ss = st(s);
    ss.hits = hitsOf(s);
    ss.flags |= kJudged;
    if (ss.hits == words_.all()) {
        ss.flags |= kMatch;
        includeBlock(s);
    }
}

template <class Tree> void TTreeRowsOf<Tree>::rejudgeBelow(TNodeId s)
{
    // Parents before children for the hits, then children before parents for the counts.
    std::vector<TNodeId> order{s};
    for (std::size_t i = 0; i < order.size(); ++i) {
        const TNodeId x = order[i];
        if (x != s)
            st(x).hits = hitsOf(x);
        TState& sx = st(x);
        sx.flags = sx.hits == words_.all() ? (sx.flags | kMatch) : (sx.flags & ~kMatch);
        for (std::size_t k = 0; k < childCountOf(x); ++k) {
            const TNodeId c = childSlot(x, k);
            if (judged(c))
                order.push_back(c);
        }
    }
    std::vector<std::uint32_t> counts;
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        const TNodeId x = *it;
        TState& sx = st(x);
        counts.clear();
        sx.incChildren = 0;
        for (std::size_t k = 0; k < childCountOf(x); ++k) {
            const TState& sc = st(childSlot(x, k));
            counts.push_back(sc.flags & kIncluded ? sc.size : 0);
            sx.incChildren += (sc.flags & kIncluded) ? 1 : 0;
        }
        sums_[x].assign(counts);
        if (x == s)
            continue;
        const bool inc = (sx.flags & kMatch) || sx.incChildren > 0;
        sx.flags = inc ? (sx.flags | kIncluded) : (sx.flags & ~kIncluded);
        sx.size = inc ? 1 + (open(x) ? sums_[x].total() : 0) : 0;
    }
}

template <class Tree> bool TTreeRowsOf<Tree>::stepFind(TClock::time_point deadline)
{
    if (frontier_.empty())
        return true;
    if (observer_)
        observer_->beginReset();
    silent_ = true;
    for (int judgedCount = 1; !frontier_.empty(); ++judgedCount) {
        const TNodeId x = frontier_.back();
        frontier_.pop_back();
        if (!isLinked(x) || judged(x) || !judged(parentSlot(x)))
            continue; // removed since, judged on arrival, or to be reached from its parent
        judge(x);
        for (std::size_t k = childCountOf(x); k > 0; --k)
            frontier_.push_back(childSlot(x, k - 1));
        if (judgedCount % 64 == 0 && TClock::now() >= deadline)
            break;
    }
    silent_ = false;
    if (observer_)
        observer_->endReset();
    return frontier_.empty();
}

template <class Tree> std::size_t TTreeRowsOf<Tree>::memoryBytes() const
{
    return state_.capacity() * sizeof(TState) + sums_.capacity() * sizeof(TPrefixSums) +
           sumEntries_ * sizeof(std::uint32_t) + frontier_.capacity() * sizeof(TNodeId);
}
