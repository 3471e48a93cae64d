// The agent's command callback: every automation command that the management server
// fires for a situation or a policy becomes an action for the data providers, handed
// to the agent's DCH server without waiting for its result.
#pragma once

class PxrafAutomationCapsule;

// Splits the command, works out the action's owner, node and subnode (a policy's first
// subnode; a situation's ORIGINNODE, which must be a registered subnode), drops repeats of
// an atomic situation's value within its window, numbers the action and hands it over
// with dc_provideAction; with ZEVA_DMC_COMMAND Y a Dorvane_Message action becomes a
// console message instead. Sets the result on the capsule, finishes the command and
// returns the result: 0 handed over, 1 refused, else the hand-over's status.
int DV_Action(PxrafAutomationCapsule* capsule);
