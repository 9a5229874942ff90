#include "server/turn_password.h"

#include <glib.h>

std::string turnPassword(const std::string& secret, const std::string& username) {
    GHmac* hmac =
        g_hmac_new(G_CHECKSUM_SHA1, reinterpret_cast<const guchar*>(secret.data()), secret.size());
    g_hmac_update(hmac, reinterpret_cast<const guchar*>(username.data()),
                  static_cast<gssize>(username.size()));
    guint8 digest[20];
    gsize length = sizeof digest;
    g_hmac_get_digest(hmac, digest, &length);
    g_hmac_unref(hmac);
    gchar* text = g_base64_encode(digest, length);
    std::string password(text);
    g_free(text);
    return password;
}
