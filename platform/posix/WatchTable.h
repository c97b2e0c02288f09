// The folders of a watched tree, kept as a tree of names: each folder holds
// its own name and its parent, so that a path is made by walking up, every
// name is stored once (some 30 bytes a folder where a table of whole paths
// takes three times that), and a folder renamed or moved within the tree
// takes everything below it along in one step.
//
// A folder is in the table from the moment the set-up decides to watch it
// (queued) until it is gone; it is watched once its watch descriptor is set.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ravo::platform {

class WatchTable {
 public:
  using Node = std::uint32_t;
  static constexpr Node kNone = UINT32_MAX;
  // The root of the tree: its path is empty.
  static constexpr Node kRoot = 0;

  WatchTable();

  // The folder `name` in `parent`, added when it is not there yet.
  Node Child(Node parent, std::string_view name);
  // The folder at the path relative to the root ("" the root), or kNone.
  Node Find(std::string_view rel) const;
  // The folder at the path, added with the folders above it where missing.
  Node Make(std::string_view rel);

  // The path relative to the root ("" for the root).
  std::string PathOf(Node node) const;

  // Sets the folder's watch. A watch the table holds for another folder
  // (the same folder under the name it had before a rename) moves here.
  void SetWatch(Node node, int wd);
  // The folder a watch is of, or kNone.
  Node OfWatch(int wd) const;
  bool IsWatched(Node node) const { return node != kNone && nodes_[node].wd >= 0; }
  // The watch is gone (the kernel dropped it); the folder stays while
  // folders below it are in the table.
  void DropWatch(int wd);

  // Takes the folder and everything below it out of the table, calling
  // onWatch for every watch among them.
  void Remove(Node node, const std::function<void(int wd)>& onWatch);
  // The folder goes to `parent` under `name`, with everything below it; a
  // folder that was there is removed first (see Remove).
  void Move(Node node, Node parent, std::string_view name,
            const std::function<void(int wd)>& onWatch);

  // A folder the set-up is to watch later: it stays in the table, also when
  // what is above it goes, until TakeQueued says whether it is still there.
  void SetQueued(Node node);
  // False (and the folder forgotten) when it was removed meanwhile.
  bool TakeQueued(Node node);
  // Forgets a folder that is neither watched nor queued and holds none that
  // is, with the folders above it that are left empty the same way.
  void Prune(Node node);

  std::size_t WatchCount() const { return watches_; }
  // Bytes the table holds, capacity included.
  std::size_t BytesUsed() const;
  // Gives back the room that growing left unused.
  void Shrink();

 private:
  struct Entry {
    Node parent = kNone;
    Node firstChild = kNone;
    Node nextSibling = kNone;
    std::uint32_t nameAt = 0;
    std::uint16_t nameLength = 0;  // names are at most 255 bytes
    bool queued = false;
    int wd = -1;
  };

  std::string_view NameOf(Node node) const;
  Node FindChild(Node parent, std::string_view name) const;
  void Link(Node node, Node parent);
  void Unlink(Node node);
  void Free(Node node);
  void PutName(Node node, std::string_view name);
  void CompactNames();

  std::vector<Entry> nodes_;
  std::vector<Node> free_;       // removed entries, for reuse
  std::vector<Node> byWatch_;    // watch descriptor → folder
  std::string names_;            // every name, one after the other
  std::size_t deadNameBytes_ = 0;
  std::size_t watches_ = 0;
};

}  // namespace ravo::platform
