#pragma once
// The layout of NoteStore.sqlite's shared object table (ZICCLOUDSYNCINGOBJECT:
// note, folder and account rows) and of its entity list, as the demo writes it
// and as phones of a given system write it.
#include <optional>
#include <string>
#include <vector>

#include "tools/backupbuilder/RealPhoneLayouts.h"

namespace fq::builder {

struct NoteStoreEntity {
  int number = 0;  // Z_ENT
  std::string name;
  int super = 0;
};

struct NoteStoreLayout {
  std::vector<std::string> columns;       // declarations of the CREATE TABLE statement
  std::vector<std::string> addedColumns;  // declarations added later by ALTER TABLE
  std::vector<NoteStoreEntity> entities;  // the rows of Z_PRIMARYKEY
  std::string creationDateColumn;         // where a note keeps its creation date
  std::string noteAccountColumn;          // a note's link to its account; empty: none
  // Z_ENT of the entities the builder writes rows of.
  int entity(const std::string& name) const;
};

// None: the demo's own narrow table (the columns that matter, in real order).
// iOS 17 is the table of a real iOS 17.3 store, column for column. No real
// iOS 13 or 14 store is at hand: their tables are derived from that one, less
// the columns of features those systems did not have yet (mentions, activity,
// smart folders, Quick Note, the later account links), so every column a
// reader needs sits at another position.
NoteStoreLayout NoteStoreLayoutOf(std::optional<PhoneSystem> system);

// Whether a phone of `system` keeps its notes in NoteStore.sqlite (iOS 9 on).
bool HasNoteStore(PhoneSystem system);

}  // namespace fq::builder
