// The vector instructions the wide code paths run on: the stratified search,
// the plain generator's runs and the cumulative-table batches each have a
// version per instruction set, built in files of their own, and use the one
// chosen here.
#pragma once

namespace kvz {

// Instruction sets, narrowest first.
enum class VectorPath { kScalar, kSse2, kAvx2, kAvx512 };

// The widest path this processor and build run (AVX2 and AVX-512 only where
// the processor reports them), the one in use, and a way for tests to choose.
VectorPath widest_vector_path();
VectorPath vector_path();
void use_vector_path(VectorPath path);

}  // namespace kvz
