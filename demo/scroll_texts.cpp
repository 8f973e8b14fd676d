// The wording of the two texts that scroll over the closing scenes. Their lengths set the
// scrolling speeds, so any rewording must keep 182 and 221 characters and the blank margins.
#include "demo/scroll_texts.h"

const char CreditsText[] =
    "          "
    "code // quenby and dralsk || "
    "pixels // dralsk and mirelo || "
    "music // tessarine and quenby || "
    "sound engine // quenby || "
    "font // oskvar || "
    "support // the kvrt6 crew"
    "          ";

const char GreetingsText[] =
    "          "
    "ablaze.bitfolk.cobalt.dune.ember.fjord.glimr.haxor.inkwell.jolt."
    "kiln.lumen.moire.nullpoint.orbital.pixelfen.quark.raven.sine.tape."
    "umbra.vector.wirefox.xeno.yarrow.zenith.copper.dotmatrix.lowfi.scanline"
    "          ";
