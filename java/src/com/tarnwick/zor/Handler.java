package com.tarnwick.zor;

import java.io.ByteArrayInputStream;
import java.io.FileNotFoundException;
import java.io.IOException;
import java.io.InputStream;
import java.lang.ref.SoftReference;
import java.net.URL;
import java.net.URLConnection;
import java.net.URLStreamHandler;
import java.util.Hashtable;

/** Opens "zor:" URLs: the resource bytes come from the launcher's archives. */
public class Handler extends URLStreamHandler {
    /**
     * URL text to a SoftReference of that resource's bytes, shared by all handlers, so that a
     * resource is read from the archives once and kept until memory runs short.
     */
    protected static Hashtable loadedData = new Hashtable();

    static {
        String path = System.getProperty("zor.app.path");
        if (path != null) {
            System.load(path);
        }
    }

    public Handler() { super(); }

    protected URLConnection openConnection(URL url) throws IOException {
        final String resource = url.toString();
        return new URLConnection(url) {
            public void connect() {}

            public InputStream getInputStream() throws FileNotFoundException {
                byte[] data = null;
                SoftReference cached = (SoftReference)loadedData.get(resource);
                if (cached != null) {
                    data = (byte[])cached.get();
                }
                if (data == null) {
                    data = loadResourceData(resource);
                    // A missing resource is reported as such and never cached, so that a
                    // later read asks the archives again.
                    if (data == null) {
                        throw new FileNotFoundException(resource);
                    }
                    loadedData.put(resource, new SoftReference(data));
                }
                return new ByteArrayInputStream(data);
            }

            public String getContentType() {
                return guessContentTypeFromName(resource);
            }
        };
    }

    /** The whole content of the entry that the URL names, or null when there is none. */
    protected native byte[] loadResourceData(String url);
}
