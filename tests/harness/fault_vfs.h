// An SQLite file layer that fails on request: the k-th write after arming reports an I/O error
// or a full disk, as a dying disk or a full partition would, and every write after it fails
// too until disarmed (a disk does not recover in the middle of a save). Installed as the
// default layer, so every connection opened afterwards goes through it.
#pragma once

namespace ws::harness {

enum class Fault { IoError, DiskFull };

class FaultVfs {
 public:
  // Registers the layer as the process's default; harmless to call again.
  static bool Install();
  // From now on count writes; the k-th (1-based) and all later ones fail with `fault`.
  static void Arm(int k, Fault fault);
  // Writes pass again; the count restarts.
  static void Disarm();
  // Writes seen since the last Arm or Disarm, failed ones included.
  static int Writes();
  // Whether a write has been failed since the last Arm.
  static bool Fired();
};

}  // namespace ws::harness
