#pragma once
// The list of all rolls, sorted by name ignoring case; it owns the rolls.
#include "collection/roll.h"
#include <QString>
#include <memory>
#include <vector>

struct TAppState;

// What the roll scan found.
struct TRollScan {
    bool NoRolls = false;          // no roll folder at all
    bool MultiRoll = false;        // more than one
    TRoll* CurrentRoll = nullptr;  // the first roll in name order
};

class TRollList {
public:
    TRollList() = default;
    ~TRollList();
    TRollList(const TRollList&) = delete;
    TRollList& operator=(const TRollList&) = delete;

    int Count() const { return int(FRolls.size()); }
    TRoll* Items(int i) const { return FRolls.at(size_t(i)).get(); }
    const QString& Names(int i) const { return Items(i)->Name; }
    // Inserted in name order (ignoring case) under Roll's name; returns the roll.
    TRoll* Add(std::unique_ptr<TRoll> roll);
    int IndexOf(const TRoll* roll) const;
    // Frees every roll, in list order (each writes back its rotations).
    void Clear();

    // The first roll whose name equals Name ignoring case; none when no match.
    TRoll* FindRoll(const QString& name) const;

    // Adds one disc-layout roll per sub-folder of PictureDir (dot folders,
    // files and anything that is not a folder are skipped).
    TRollScan ScanRolls(const QString& pictureDir, const TThumbnailEvent& onThumbnail = {});

private:
    std::vector<std::unique_ptr<TRoll>> FRolls;
};

// The roll list of start-up: the rolls of PictureDir in the disc layout, else
// one roll for the program folder (its path is name and folder).
TRollScan BuildRollList(TRollList& list, const TAppState& state,
                        const TThumbnailEvent& onThumbnail = {});

// A readable account of what start-up resolved: the folders, the layout, each
// roll with its folder and, after preparing it, its photos in display order
// with the size they are shown in.
QString DescribeRolls(TRollList& list, const TAppState& state);
