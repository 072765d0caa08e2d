// pocketsphinx brings sphinxbase and a numerical stack (BLAS, LAPACK, Fortran run-time)
// with it; only the older speech engine needs them, so they are loaded on first use (see
// platform/LazyLibrary.h). The library names come from the build (the installed ones).

#include <pocketsphinx.h>

#include "platform/LazyLibrary.h"

TANDREL_LAZY_FUNCTION(TANDREL_SPHINXBASE_SONAME, cmd_ln_t*, cmd_ln_parse_r,
    (cmd_ln_t * inout, arg_t const* definitions, int32 count, char* arguments[], int32 strict),
    (inout, definitions, count, arguments, strict))
TANDREL_LAZY_FUNCTION(TANDREL_SPHINXBASE_SONAME, int, cmd_ln_free_r, (cmd_ln_t * config), (config))

TANDREL_LAZY_FUNCTION(TANDREL_POCKETSPHINX_SONAME, arg_t const*, ps_args, (void), ())
TANDREL_LAZY_FUNCTION(TANDREL_POCKETSPHINX_SONAME, ps_decoder_t*, ps_init, (cmd_ln_t * config), (config))
TANDREL_LAZY_FUNCTION(TANDREL_POCKETSPHINX_SONAME, int, ps_free, (ps_decoder_t * decoder), (decoder))
TANDREL_LAZY_FUNCTION(TANDREL_POCKETSPHINX_SONAME, int, ps_start_utt, (ps_decoder_t * decoder), (decoder))
TANDREL_LAZY_FUNCTION(TANDREL_POCKETSPHINX_SONAME, int, ps_end_utt, (ps_decoder_t * decoder), (decoder))
TANDREL_LAZY_FUNCTION(TANDREL_POCKETSPHINX_SONAME, int, ps_process_raw,
    (ps_decoder_t * decoder, int16 const* data, size_t count, int noSearch, int fullUtterance),
    (decoder, data, count, noSearch, fullUtterance))
TANDREL_LAZY_FUNCTION(TANDREL_POCKETSPHINX_SONAME, char const*, ps_get_hyp, (ps_decoder_t * decoder, int32* score),
    (decoder, score))
