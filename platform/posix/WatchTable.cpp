#include "platform/posix/WatchTable.h"

namespace ravo::platform {
namespace {

// Names of removed or renamed folders are dropped from the store once they
// take more than half of it, and at least this much.
constexpr std::size_t kCompactAt = 64 * 1024;

}  // namespace

WatchTable::WatchTable() { nodes_.emplace_back(); }

std::string_view WatchTable::NameOf(Node node) const {
  const Entry& e = nodes_[node];
  return std::string_view(names_).substr(e.nameAt, e.nameLength);
}

WatchTable::Node WatchTable::FindChild(Node parent, std::string_view name) const {
  for (Node child = nodes_[parent].firstChild; child != kNone; child = nodes_[child].nextSibling) {
    if (NameOf(child) == name) return child;
  }
  return kNone;
}

void WatchTable::Link(Node node, Node parent) {
  nodes_[node].parent = parent;
  nodes_[node].nextSibling = nodes_[parent].firstChild;
  nodes_[parent].firstChild = node;
}

void WatchTable::Unlink(Node node) {
  Node parent = nodes_[node].parent;
  if (parent == kNone) return;
  Node* link = &nodes_[parent].firstChild;
  while (*link != node) link = &nodes_[*link].nextSibling;
  *link = nodes_[node].nextSibling;
  nodes_[node].parent = kNone;
  nodes_[node].nextSibling = kNone;
}

void WatchTable::PutName(Node node, std::string_view name) {
  if (deadNameBytes_ > kCompactAt && deadNameBytes_ > names_.size() / 2) CompactNames();
  deadNameBytes_ += nodes_[node].nameLength;
  nodes_[node].nameAt = static_cast<std::uint32_t>(names_.size());
  nodes_[node].nameLength = static_cast<std::uint16_t>(name.size());
  names_.append(name);
}

void WatchTable::CompactNames() {
  std::string kept;
  kept.reserve(names_.size() - deadNameBytes_);
  for (Entry& e : nodes_) {
    if (e.parent == kNone) continue;  // the root, or free
    std::uint32_t at = static_cast<std::uint32_t>(kept.size());
    kept.append(names_, e.nameAt, e.nameLength);
    e.nameAt = at;
  }
  names_ = std::move(kept);
  deadNameBytes_ = 0;
}

WatchTable::Node WatchTable::Child(Node parent, std::string_view name) {
  if (Node found = FindChild(parent, name); found != kNone) return found;
  Node node;
  if (!free_.empty()) {
    node = free_.back();
    free_.pop_back();
    nodes_[node] = Entry{};
  } else {
    node = static_cast<Node>(nodes_.size());
    nodes_.emplace_back();
  }
  PutName(node, name);
  Link(node, parent);
  return node;
}

WatchTable::Node WatchTable::Find(std::string_view rel) const {
  Node node = kRoot;
  while (!rel.empty() && node != kNone) {
    std::size_t slash = rel.find('/');
    node = FindChild(node, rel.substr(0, slash));
    rel = slash == std::string_view::npos ? std::string_view() : rel.substr(slash + 1);
  }
  return node;
}

WatchTable::Node WatchTable::Make(std::string_view rel) {
  Node node = kRoot;
  while (!rel.empty()) {
    std::size_t slash = rel.find('/');
    node = Child(node, rel.substr(0, slash));
    rel = slash == std::string_view::npos ? std::string_view() : rel.substr(slash + 1);
  }
  return node;
}

std::string WatchTable::PathOf(Node node) const {
  std::size_t length = 0;
  for (Node n = node; n != kRoot && n != kNone; n = nodes_[n].parent) {
    length += nodes_[n].nameLength + 1;
  }
  std::string path(length ? length - 1 : 0, '/');
  std::size_t end = path.size();
  for (Node n = node; n != kRoot && n != kNone; n = nodes_[n].parent) {
    std::string_view name = NameOf(n);
    end -= name.size();
    path.replace(end, name.size(), name);
    if (end > 0) --end;
  }
  return path;
}

void WatchTable::SetWatch(Node node, int wd) {
  if (wd < 0) return;
  if (static_cast<std::size_t>(wd) >= byWatch_.size()) byWatch_.resize(wd + 1, kNone);
  Node had = byWatch_[wd];
  if (had == node) return;
  if (had != kNone) {
    // The folder was renamed before its watch was asked for again: the
    // entry under the old name goes, and whatever is below it comes along.
    nodes_[had].wd = -1;
    --watches_;
    for (Node child = nodes_[had].firstChild; child != kNone;) {
      Node next = nodes_[child].nextSibling;
      Unlink(child);
      if (FindChild(node, NameOf(child)) == kNone) {
        Link(child, node);
      } else {
        Remove(child, {});
      }
      child = next;
    }
    if (nodes_[had].firstChild == kNone) Free(had);
  }
  if (nodes_[node].wd >= 0) {
    byWatch_[nodes_[node].wd] = kNone;
    --watches_;
  }
  nodes_[node].wd = wd;
  byWatch_[wd] = node;
  ++watches_;
}

WatchTable::Node WatchTable::OfWatch(int wd) const {
  if (wd < 0 || static_cast<std::size_t>(wd) >= byWatch_.size()) return kNone;
  return byWatch_[wd];
}

void WatchTable::DropWatch(int wd) {
  Node node = OfWatch(wd);
  if (node == kNone) return;
  byWatch_[wd] = kNone;
  nodes_[node].wd = -1;
  --watches_;
  if (node != kRoot && nodes_[node].firstChild == kNone) Free(node);
}

void WatchTable::Free(Node node) {
  Unlink(node);
  deadNameBytes_ += nodes_[node].nameLength;
  nodes_[node] = Entry{};
  free_.push_back(node);
}

void WatchTable::Remove(Node node, const std::function<void(int wd)>& onWatch) {
  if (node == kNone) return;
  // Depth first without recursion: children before their parent.
  std::vector<Node> stack{node};
  std::vector<Node> order;
  while (!stack.empty()) {
    Node n = stack.back();
    stack.pop_back();
    order.push_back(n);
    for (Node child = nodes_[n].firstChild; child != kNone; child = nodes_[child].nextSibling) {
      stack.push_back(child);
    }
  }
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    Entry& e = nodes_[*it];
    if (e.wd >= 0) {
      if (onWatch) onWatch(e.wd);
      byWatch_[e.wd] = kNone;
      e.wd = -1;
      --watches_;
    }
    if (*it == kRoot) {
      e.firstChild = kNone;
    } else if (e.queued) {
      Unlink(*it);  // forgotten when the set-up comes to it
    } else {
      Free(*it);
    }
  }
}

void WatchTable::Move(Node node, Node parent, std::string_view name,
                      const std::function<void(int wd)>& onWatch) {
  if (node == kNone || node == kRoot) return;
  for (Node up = parent; up != kNone; up = nodes_[up].parent) {
    if (up == node) return;  // into itself: not a move the system makes
  }
  if (Node there = FindChild(parent, name); there != kNone && there != node) Remove(there, onWatch);
  Unlink(node);
  PutName(node, name);
  Link(node, parent);
}

void WatchTable::SetQueued(Node node) { nodes_[node].queued = true; }

bool WatchTable::TakeQueued(Node node) {
  nodes_[node].queued = false;
  if (node == kRoot || nodes_[node].parent != kNone) return true;
  Free(node);
  return false;
}

void WatchTable::Prune(Node node) {
  while (node != kRoot && node != kNone && nodes_[node].wd < 0 && !nodes_[node].queued &&
         nodes_[node].firstChild == kNone) {
    Node parent = nodes_[node].parent;
    Free(node);
    node = parent;
  }
}

std::size_t WatchTable::BytesUsed() const {
  return nodes_.capacity() * sizeof(Entry) + free_.capacity() * sizeof(Node) +
         byWatch_.capacity() * sizeof(Node) + names_.capacity();
}

void WatchTable::Shrink() {
  if (deadNameBytes_ > 0) CompactNames();
  nodes_.shrink_to_fit();
  free_.shrink_to_fit();
  byWatch_.shrink_to_fit();
  names_.shrink_to_fit();
}

}  // namespace ravo::platform
