package origin;

import java.io.File;
import java.net.URL;
import java.security.CodeSource;
import java.security.ProtectionDomain;
import org.apache.commons.lang3.StringUtils;

// Asks where its classes come from, the ways applications ask. Lines that begin with "where."
// differ by nature between the packed program and `java -cp`; every other line must not.
public class Origin {
    public static void main(String[] args) throws Exception {
        ProtectionDomain domain = Origin.class.getProtectionDomain();
        CodeSource source = domain.getCodeSource();
        URL location = source.getLocation();
        System.out.println("where.location=" + location);
        // The usual way to find the installation folder.
        System.out.println("where.folder="
                + (location == null ? "none" : new File(location.toURI()).getParentFile()));
        System.out.println("where.libLocation="
                + StringUtils.class.getProtectionDomain().getCodeSource().getLocation());
        System.out.println("where.domainLoader=" + domain.getClassLoader().getClass().getName());
        System.out.println("certificates=" + (source.getCertificates() == null ? "none" : "some"));
        describe("own", Origin.class.getPackage());
        describe("plain", origin.plain.Plain.class.getPackage());
        describe("lib", StringUtils.class.getPackage());
        describe("bare", bare.Bare.class.getPackage());
        System.out.println("libWorks=" + StringUtils.capitalize("zor"));
        try {
            Class<?> c = Thread.currentThread().getContextClassLoader().loadClass("missing.X");
            System.out.println("missing=returned " + c);
        } catch (ClassNotFoundException e) {
            System.out.println("missing=ClassNotFoundException " + e.getMessage());
        }
    }

    static void describe(String key, Package p) {
        System.out.println(key + "=" + p.getName()
                + " api[" + p.getSpecificationTitle() + "|"
                + p.getSpecificationVersion() + "|" + p.getSpecificationVendor() + "]"
                + " implementation[" + p.getImplementationTitle() + "|"
                + p.getImplementationVersion() + "|" + p.getImplementationVendor() + "]");
    }
}
