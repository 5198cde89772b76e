#include "test_support/shipped_files.h"

const ShippedFile kLineSourceFile = {
    "Viterbo_Attigliano_linea.txt", 163, 5576,
    "0d2be9e8accd9784ece3c9ec7fc8e9463d0484344365159aaa763d58b3da7e33"};
const ShippedFile kTrainSourceFile = {
    "Viterbo_Attigliano_7545-.txt", 37, 1497,
    "e1f76be6899099abc09e8cab7714b99157188e49f770849622b6c07f836eb6d9"};
const ShippedFile kNotesFile = {"Viterbo_Attigliano_7545_note.txt", 17, 1204,
                                "7ab0aa97cb8e204a0976a9bb2b886d8ea1ace50db208aa1a0cbd18fc571fb16a"};
const ShippedFile kSlowdownOrderFile = {
    "Viterbo_Attigliano_7545_rallentamenti.txt", 47, 3360,
    "c8f930e7d50a796e5b9b996b24c8491656a7d2be8a01acd55e032f5587b5ba00"};
const ShippedFile kTrainSheetFile = {
    "Viterbo_Attigliano_7545_scheda_treno.txt", 54, 4192,
    "5d0687916ec22d127c6125032f3a0e715c20776faa18647f67ab55511ef7b05e"};

std::vector<ShippedFile> shipped_text_files() {
  return {kLineSourceFile, kTrainSourceFile, kNotesFile, kSlowdownOrderFile, kTrainSheetFile};
}

// Checked against a separate computation of the line plan, the cells and the table.
const ShippedFile kLinePlanFile = {
    "Viterbo_Attigliano_linea.dat", 0, 1139964,
    "5ebf88490d36fa3f80c677926b2a0b8cb5f4395cd78970757081452daee8b826"};
const ShippedFile kScenarioTableFile = {
    "Viterbo_Attigliano_7545.sim", 0, 3932,
    "7224829837f7cb4b4911bcee386072df2ceadb463bfee29ee7b1b55c86cad2d8"};
const ShippedFile kTrackCellsFile = {
    "Viterbo_Attigliano_7545.dat", 0, 17115,
    "c6ddd9f45415ba74957e2200541ff770cd6db4e3c6e316a99272bb2e896210f2"};

std::vector<ShippedFile> shipped_compiled_files() {
  return {kLinePlanFile, kScenarioTableFile, kTrackCellsFile};
}
