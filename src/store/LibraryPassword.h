#pragma once

#include <string>

namespace velmora {

// The library key of this run: the key string of every chunk operation on every
// thread. Written by the thread that accepts or changes the password, read by all.
//
// Each chunk records the generation of the key it is encrypted under. During a
// password change (and until an interrupted change is finished) two keys are live:
// chunks of the new generation are read with the new password, the rest with the old.
struct LibraryKey {
    std::string password;
    int generation = 0;
    // Set only while a password change is under way.
    bool changing = false;
    std::string previousPassword;
    int previousGeneration = 0;

    // The key a chunk of the given generation was written with.
    const std::string& PasswordFor(int chunkGeneration) const
    {
        return changing && chunkGeneration != generation ? previousPassword : password;
    }
    // Whether a chunk of that generation is under one of these keys.
    bool Knows(int chunkGeneration) const
    {
        return chunkGeneration == generation || (changing && chunkGeneration == previousGeneration);
    }
};

std::string LibraryPassword();
LibraryKey CurrentLibraryKey();
void SetLibraryKey(LibraryKey key);
// Sets the password of a library whose generation is unchanged.
void SetLibraryPassword(const std::string& password, int generation);

} // namespace velmora
