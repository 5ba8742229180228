#pragma once
// Opcodes 30, 31 and 32: steps that pass at once and do nothing. 30 and 32 keep their places
// in the PC-mode run queue; 31 is what the worker runs after every queue.
class OpcodeTable;

void RegisterEmptySteps(OpcodeTable& table);
