// Carrying out, undoing and completing commits: the renames of a plan, the rollback where a file
// cannot be replaced, and the recovery of what runs that died left in a folder.
//
// Recovery obeys only what this user's own runs wrote: a journal counts only when it is a
// regular file of the user, names nothing but the tool's own temporaries and plain names in its
// folder, and everything it names is still the file it recorded (folder, temporaries and old
// files by identity). Anything else is left alone, neither obeyed nor a reason to fail.
#pragma once

#include <span>
#include <string>

#include "files/Journal.h"

namespace varnholt {

// Puts the files of the plan in place, in order, each only while its target still holds what
// the plan found there; true once all are. Otherwise InTheWay names the target that could not be
// replaced.
bool PlaceFiles(const TCommitPlan& Plan, const TCommitRules& Rules, std::string& InTheWay);
// Marks the journal as being undone, then puts back what the renames replaced; false, with
// InTheWay, where that is not possible.
bool Undo(const TCommitPlan& Plan, std::string& JournalPath, const TCommitRules& Rules,
          std::string& InTheWay);
// Once the plan is carried out or undone: the renames made durable, then the journal removed with
// what else the plan left that is still the run's.
void ClearUp(const TCommitPlan& Plan, const std::string& JournalPath, const TCommitRules& Rules);

// Called with the folder's lock, so that every journal in it is one whose run has died: recovers
// them and removes what dead runs left. False when a journal stays that concerns Targets, or may:
// files put in place now would be overtaken when that journal is recovered later.
bool RecoverJournals(const std::string& Folder, std::span<const std::string> Targets,
                     const TCommitRules& Rules);

// Completes the commits that runs no longer alive left interrupted in the folder of Path and
// removes the files they left. Never touches what a live run is writing, and does not wait: a
// folder where another run holds the lock is left to that run.
void RecoverFolderOf(const std::string& Path, const TCommitRules& Rules);

// Whether a commit of files to these paths (in one folder) was interrupted and is not yet
// completed.
bool IsCommitInterrupted(std::span<const std::string> Paths);

}  // namespace varnholt
