#pragma once
// Registers every built site operation in the opcode table. Each operation group has a
// Register function of its own; a new group adds its call here.
class OpcodeTable;

void RegisterSiteOperations(OpcodeTable& table);
